#pragma once
// A test case with the test application and a runtime folder of its own (XDG_RUNTIME_DIR), so
// that cases which leave names there may run side by side. Link qxm_testapp.
#include "TestApplication.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qxm {

class RuntimeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        ASSERT_TRUE(m_runtime.isValid());
        m_saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_saved); }

    QTemporaryDir m_runtime;

private:
    QByteArray m_saved;
};

} // namespace qxm
