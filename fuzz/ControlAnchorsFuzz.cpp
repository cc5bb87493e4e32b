// The control's strict anchor reader on arbitrary text, then the lookups the control makes while
// a movie plays, over frames and points around every key frame read.
#include "fuzz/FuzzSupport.h"
#include "player_control/anchors/DefAnchor.h"

#include <climits>
#include <sstream>

using namespace qxm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(fuzz::asText(data, size)));
    CDefAnchor store;
    const int result = store.LoadAnchorsFrom(in);
    if (result != 0) {
        QXM_FUZZ_CHECK(store.Count() == 0);
        QXM_FUZZ_CHECK(store.LastProblem().line > 0);
        return 0;
    }
    int lookups = 0; // each hit test walks every record: keep an input's work bounded
    for (int i = 0; i < store.Count(); ++i) {
        const AnchorRef ref = store.At(i);
        const DefAnchorRecord* record = store.Record(ref);
        QXM_FUZZ_CHECK(record != nullptr);
        QXM_FUZZ_CHECK(record->id.size() <= kAnchorIdMaxBytes);
        QXM_FUZZ_CHECK(record->name.size() <= kAnchorNameMaxBytes);
        QXM_FUZZ_CHECK(record->entries.size() <= std::size_t(record->capacity));
        for (const AnchorFrameEntry& e : record->entries) {
            if (++lookups > 64) break;
            for (const std::int64_t wide : {e.frame - 1LL, e.frame + 0LL, e.frame + 1LL}) {
                if (wide < INT32_MIN || wide > INT32_MAX) continue;
                const auto frame = static_cast<std::int32_t>(wide);
                AnchorRect rect;
                const AnchorPoint point{e.rect.left, e.rect.top};
                store.FindAnchorAt(ref, frame, point, true, rect);
                store.FindAnchorAt(ref, frame, point, false, rect);
                store.HitTestAnchors(frame, point);
                store.HitTestAnchors(frame, point, record->id);
            }
        }
        store.Find(record->id);
    }
    return 0;
}
