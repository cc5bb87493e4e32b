#include "editor/shell/CommandLine.h"

#include "platform/codepage/CodePage.h"

namespace qxm::editor {
namespace {

std::string keep(std::string_view value) {
    return std::string(codepage::cut(value, kCommandValueBytes));
}

std::vector<std::string> tokens(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if ((c == ' ' || c == '\t') && !quoted) {
            out.push_back(std::move(current));
            current.clear();
            ++i;
            continue;
        }
        if (c == '"') quoted = !quoted;
        const std::size_t n = codepage::charLength(text, i);
        current.append(text.substr(i, n));
        i += n;
    }
    out.push_back(std::move(current));
    return out;
}

} // namespace

CommandLine ParseCommandLine(std::string_view text) {
    CommandLine result;
    if (text.empty()) return result;
    for (const std::string& t : tokens(text)) {
        if (t.size() >= 2 && t[0] == '/' && t[1] == 'I') {
            if (t.size() >= 4 && t[2] == '"' && t.back() == '"')
                result.PlayerOption = keep(std::string_view(t).substr(3, t.size() - 4));
            else
                result.PlayerOption = keep(std::string_view(t).substr(2));
        } else {
            result.hasPath = true;
            if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
                result.PendingOpenPath = keep(std::string_view(t).substr(1, t.size() - 2));
            else
                result.PendingOpenPath = keep(t);
        }
    }
    return result;
}

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i > 0) line += ' ';
        const bool needsQuotes = a.empty() || a.find_first_of(" \t") != std::string::npos;
        if (!needsQuotes)
            line += a;
        else if (a.size() >= 2 && a[0] == '/' && a[1] == 'I')
            line += "/I\"" + a.substr(2) + "\"";
        else
            line += "\"" + a + "\"";
    }
    return line;
}

} // namespace qxm::editor
