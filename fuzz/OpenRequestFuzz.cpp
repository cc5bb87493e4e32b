// The request another program sends over the editor's link to have a file opened: the part the
// server keeps of it, parsed.
#include "editor/view/OpenRequest.h"
#include "fuzz/FuzzSupport.h"

using namespace qxm::editor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text = qxm::fuzz::asText(data, size);
    for (const std::string_view request : {text, text.substr(0, kOpenRequestBytes)}) {
        const OpenRequest r = ParseOpenRequest(request);
        QXM_FUZZ_CHECK(r.path.size() <= kOpenPathBytes);
        QXM_FUZZ_CHECK(r.anchorId.size() <= 10);
        QXM_FUZZ_CHECK(!r.empty || (r.path.empty() && !r.anchorIdSet));
    }
    return 0;
}
