#include "TestApplication.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace qxm {
namespace {

std::unique_ptr<QApplication> g_application;

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { testApplication(); }
    void TearDown() override {
        if (!g_application) return;
        // One at a time: deleting a window may take others with it.
        for (auto left = QApplication::topLevelWidgets(); !left.isEmpty();
             left = QApplication::topLevelWidgets())
            delete left.first();
        g_application.reset();
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace

QApplication& testApplication() {
    static int argc = 1;
    static char name[] = "qxm-tests";
    static char* argv[] = {name, nullptr};
    if (!g_application) g_application = std::make_unique<QApplication>(argc, argv);
    return *g_application;
}

} // namespace qxm
