// The main() of every test program: points the per-user folders at a private place in the
// build tree, selects Qt's offscreen platform unless another is asked for, then runs the cases.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const std::string home = QXM_TEST_HOME;
    setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    setenv("QXM_BIN_DIR", QXM_BIN_DIR, 1);
    setenv("QXM_LIB_DIR", QXM_LIB_DIR, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
