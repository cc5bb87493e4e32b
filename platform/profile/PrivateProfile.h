#pragma once
// Private profile files: "[section]" headers and "key=value" lines, read with the rules of the
// classic private-profile reader. Section and key names compare without regard to case, blanks
// around names and values are dropped, a value wrapped in a pair of matching quotes loses them,
// and values are cut to the caller's buffer. LF and CR LF line ends read the same; lines that
// start with ';' are comments. A key given as "Key=" has the empty text as its value. Qt-free.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qxm::profile {

// Where a bare file name (one without '/') lives: ${XDG_CONFIG_HOME:-~/.config}/qxm/<name>.
// Other paths are returned unchanged.
std::string resolvePath(const std::string& file);

// The parsed contents of one profile file.
class PrivateProfile {
public:
    PrivateProfile() = default;

    // Reads the file (after resolvePath). A missing or unreadable file gives an empty profile;
    // exists() tells which.
    static PrivateProfile load(const std::string& file);
    // Parses text already in memory.
    static PrivateProfile parse(const std::string& text);

    bool exists() const { return exists_; }

    // The value of key in section, or nullopt when either is missing. The first section of a
    // name and the first key of a name within it win.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;

    // The classic call: the value (or the default when missing), cut to bufferSize - 1 bytes
    // as a buffer of bufferSize bytes with its terminating zero would hold.
    std::string getString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, std::size_t bufferSize) const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    std::vector<Section> sections_;
    bool exists_ = false;
};

// One-shot form: loads the file and reads one key.
std::string getPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize,
                                    const std::string& file);

} // namespace qxm::profile
