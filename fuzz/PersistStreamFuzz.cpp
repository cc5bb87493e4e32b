// The control's stream form on arbitrary bytes: what loads must save and load back unchanged.
#include "fuzz/FuzzSupport.h"
#include "player_control/persistence/QXMoviePersist.h"

#include <vector>

using namespace qxm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A copy of exactly size bytes, so a read past the end is caught.
    const std::vector<uint8_t> bytes(data, data + size);
    qxmovie::PersistedControl control;
    std::string message;
    if (failed(qxmovie::loadFromStream(bytes, control, &message))) {
        QXM_FUZZ_CHECK(control == qxmovie::PersistedControl{} && !message.empty());
        return 0;
    }
    std::vector<uint8_t> saved;
    qxmovie::saveToStream(control, saved);
    qxmovie::PersistedControl reloaded;
    QXM_FUZZ_CHECK(succeeded(qxmovie::loadFromStream(saved, reloaded, &message)));
    QXM_FUZZ_CHECK(reloaded == control);
    return 0;
}
