#pragma once
// A private folder for one test, removed afterwards, with QXM_REGISTRY pointing into it.
#include <cstdlib>
#include <filesystem>
#include <string>

class TempRegistry {
public:
    TempRegistry() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qxmreg-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        path_ = dir_ + "/sub/registry";
        setenv("QXM_REGISTRY", path_.c_str(), 1);
    }
    ~TempRegistry() {
        unsetenv("QXM_REGISTRY");
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
        std::filesystem::permissions(dir_ + "/sub", std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& dir() const { return dir_; }
    const std::string& path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};
