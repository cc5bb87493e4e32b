#pragma once
// A private folder for one test under the system's temporary folder, removed with everything
// in it when the object goes.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace qxm::testsupport {

struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string templ = (std::filesystem::temp_directory_path() / "qxm-test-XXXXXX").string();
        if (!::mkdtemp(templ.data())) std::abort();
        path = templ;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

} // namespace qxm::testsupport
