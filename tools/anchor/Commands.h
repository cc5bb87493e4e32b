#pragma once
// The commands of qxmanchor. Each writes its report or data to out and its messages to err and
// returns the exit status: 0 done (check: no problem), 1 problems or failure, 2 bad usage.
#include "tools/anchor/Export.h"
#include "tools/anchor/Import.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace qxm::anchortool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;
inline constexpr int kExitUsage = 2;

int checkCommand(const std::string& path, std::FILE* out, std::FILE* err);
int printCommand(const std::string& path, bool frames, std::int64_t origin, std::FILE* out,
                 std::FILE* err);

// The whole command line (argv[0] is the program).
int runTool(int argc, char** argv, std::FILE* out, std::FILE* err);

} // namespace qxm::anchortool
