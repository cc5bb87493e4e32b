// The editor's anchor object file reader on arbitrary files: whatever it keeps must stay within
// the documented bounds and form a table the editor can work on.
#include "editor/anchors/AnchorFile.h"
#include "fuzz/FuzzSupport.h"

using namespace qxm::anchors;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qxm::fuzz::silencePrompts();
    const std::string path = qxm::fuzz::writeScratchFile("anchors.obj", data, size);
    AnchorTable table;
    table.XScale = 1.0;
    table.YScale = 1.0;
    AnchorFileTrace trace;
    const ReadStatus status = ReadAnchorFileAt(table, path, &trace);
    if (status != ReadStatus::Ok) {
        QXM_FUZZ_CHECK(table.empty());
        return 0;
    }
    QXM_FUZZ_CHECK(table.size() <= kMaxObject);
    QXM_FUZZ_CHECK(trace.headerLines.size() == table.size());
    std::size_t entries = 0;
    for (const AnchorRecord& r : table.records()) {
        QXM_FUZZ_CHECK(r.ID.size() <= kMaxIdBytes && r.Name.size() <= kMaxNameBytes);
        entries += r.Entries.size();
    }
    QXM_FUZZ_CHECK(entries <= kEntrySlack + size / kBytesPerEntry);
    return 0;
}
