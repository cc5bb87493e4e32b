#include "platform/profile/PrivateProfile.h"
#include "platform/text/Trim.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qxm::profile {
namespace {

std::string trimmed(std::string_view s) {
    return std::string(trim(s, " \t\r\v\f"));
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::string unquote(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

} // namespace

std::string resolvePath(const std::string& file) {
    if (file.find('/') != std::string::npos) return file;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/qxm/" + file;
}

PrivateProfile PrivateProfile::parse(const std::string& text) {
    PrivateProfile p;
    p.exists_ = true;
    std::size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3; // byte order mark
    Section* current = nullptr;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            std::string name =
                trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = nullptr;
            for (auto& s : p.sections_)
                if (equalNoCase(s.name, name)) current = &s;
            if (!current) {
                p.sections_.push_back(Section{name, {}});
                current = &p.sections_.back();
            }
            continue;
        }
        if (!current) continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = trimmed(line.substr(0, eq));
        if (key.empty()) continue;
        current->entries.push_back(Entry{key, unquote(trimmed(line.substr(eq + 1)))});
    }
    return p;
}

PrivateProfile PrivateProfile::load(const std::string& file) {
    std::ifstream in(resolvePath(file), std::ios::binary);
    if (!in) return PrivateProfile{};
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return PrivateProfile{};
    return parse(ss.str());
}

std::optional<std::string> PrivateProfile::value(const std::string& section,
                                                 const std::string& key) const {
    for (const auto& s : sections_) {
        if (!equalNoCase(s.name, section)) continue;
        for (const auto& e : s.entries)
            if (equalNoCase(e.key, key)) return e.value;
        return std::nullopt;
    }
    return std::nullopt;
}

std::string PrivateProfile::getString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue,
                                      std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::string v = value(section, key).value_or(defaultValue);
    if (v.size() > bufferSize - 1) v.resize(bufferSize - 1);
    return v;
}

std::string getPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize,
                                    const std::string& file) {
    return PrivateProfile::load(file).getString(section, key, defaultValue, bufferSize);
}

} // namespace qxm::profile
