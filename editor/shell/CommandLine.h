#pragma once
// The editor's command line: an optional movie or Movie Object File path and the /I switch,
// whose value is handed on to the standalone player.
#include <string>
#include <string_view>
#include <vector>

namespace qxm::editor {

inline constexpr std::size_t kCommandValueBytes = 258;

struct CommandLine {
    std::string PendingOpenPath; // the last path token (an empty token counts)
    std::string PlayerOption;    // the value of the last /I token
    bool hasPath = false;        // a path token was seen
};

// Parses the text: blanks and tabs outside double quotes end a token (so two blanks in a
// row give an empty token), double quotes switch quoting and stay in the token, multibyte
// characters are copied whole. "/I" tokens set PlayerOption (the text between quotes when
// the token is /I"..." of at least 4 characters, else everything after /I); any other token
// sets PendingOpenPath without its surrounding quotes. Values keep at most 258 bytes.
CommandLine ParseCommandLine(std::string_view text);

// The command line as one text from the program's arguments (argv without the program name):
// arguments joined by one blank; an argument holding a blank or tab, or an empty one, is put
// back in double quotes (a /I argument as /I"value"), as a shell had them.
std::string JoinArguments(const std::vector<std::string>& args);

} // namespace qxm::editor
