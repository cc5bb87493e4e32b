// qxmanchor: checks, prints, exports and imports anchor object files (qxmanchor --help).
#include "tools/anchor/Commands.h"
#include "tools/anchor/ToolText.h"

#include <cstdio>
#include <exception>
#include <new>

int main(int argc, char** argv) {
    try {
        return qxm::anchortool::runTool(argc, argv, stdout, stderr);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s%s\n", qxm::anchortool::text::kProgramPrefix,
                     qxm::anchortool::text::kOutOfMemory);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s%s\n", qxm::anchortool::text::kProgramPrefix, e.what());
    }
    return qxm::anchortool::kExitProblems;
}
