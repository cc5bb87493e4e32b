#include "platform/location/FileUrl.h"

#include "platform/codepage/CodePage.h"

namespace qxm {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           codepage::equalsIgnoreAsciiCase(s.substr(0, prefix.size()), prefix);
}

} // namespace

bool isFileUrl(std::string_view s) {
    return startsWithNoCase(s, "file:");
}

std::optional<std::string> fileUrlToPath(std::string_view url) {
    if (!isFileUrl(url)) return std::nullopt;
    std::string_view rest = url.substr(5);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        const bool local =
            host.empty() || (host.size() == 9 && startsWithNoCase(host, "localhost"));
        if (!local) return std::nullopt;
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 &&
            hexValue(rest[i + 2]) >= 0) {
            const char c = static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
            if (c == '\0') return std::nullopt;
            path += c;
            i += 2;
        } else {
            path += rest[i];
        }
    }
    if (path.empty()) return std::nullopt;
    return path;
}

} // namespace qxm
