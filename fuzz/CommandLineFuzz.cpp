// The editor's command line parser on arbitrary text, and the join of arguments that feeds it.
#include "editor/shell/CommandLine.h"
#include "fuzz/FuzzSupport.h"

using namespace qxm::editor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text = qxm::fuzz::asText(data, size);
    const CommandLine line = ParseCommandLine(text);
    QXM_FUZZ_CHECK(line.PendingOpenPath.size() <= kCommandValueBytes);
    QXM_FUZZ_CHECK(line.PlayerOption.size() <= kCommandValueBytes);

    // The input split at NUL bytes, as arguments a shell would pass.
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == '\0') {
            args.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    const CommandLine joined = ParseCommandLine(JoinArguments(args));
    QXM_FUZZ_CHECK(joined.PendingOpenPath.size() <= kCommandValueBytes);
    return 0;
}
