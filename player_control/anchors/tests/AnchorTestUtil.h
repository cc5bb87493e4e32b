#pragma once
// Helpers of the anchor store tests: loading from text and private temporary folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "player_control/anchors/DefAnchor.h"

namespace qxm::testing_util {

inline int loadText(CDefAnchor& store, const std::string& text) {
    std::istringstream in(text);
    return store.LoadAnchorsFrom(in);
}

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("qxm-ctlanchors-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string write(const std::string& name, const std::string& text) const {
        const auto p = path_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

private:
    std::filesystem::path path_;
};

} // namespace qxm::testing_util
