// The anchor list dialog: its entries and button states, moving and deleting anchors, and what
// OK, Cancel, Escape, a double click and an end from outside leave in the table.
#include "TestApplication.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/anchors/AnchorMemory.h"
#include "editor/anchors/AnchorTexts.h"
#include "editor/shell/dialogs/AnchorListDialog.h"
#include "editor/shell/dialogs/tests/DialogsTestSupport.h"
#include "platform/prompter/Prompter.h"

using namespace qxm;
using namespace qxm::editor;
using namespace qxm::editor::testing;

namespace {

using Entries = std::vector<std::string>;

class AnchorListDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        parent_.resize(500, 400);
        parent_.show();
        table_ = sampleTable({{"Car", "C1"}, {"Boat", "B2"}, {"Plane", "P3"}});
        table_.CurrentAnchor = 1;
        original_ = table_;
    }

    int run(const std::function<void()>& steps, bool* leftOpen = nullptr) {
        return runModal(
            dialog_, [this] { return dialog_.Run(table_); }, steps, leftOpen);
    }

    // The enabled buttons, in the order OK, Delete, Up, Down.
    std::string enabled() const {
        std::string out;
        for (QPushButton* b :
             {dialog_.okButton(), dialog_.deleteButton(), dialog_.upButton(), dialog_.downButton()})
            if (b->isEnabled()) out += (out.empty() ? "" : " ") + b->text().toStdString();
        return out;
    }

    Entries tableEntries() const {
        Entries out;
        for (const auto& r : table_.records())
            out.push_back(anchorListEntry(r));
        return out;
    }

    QWidget parent_;
    ScriptedPrompter prompter_;
    AnchorListDialog dialog_{&parent_};
    anchors::AnchorTable table_;
    anchors::AnchorTable original_;
};

TEST_F(AnchorListDialogTest, ButtonStatesFollowTheSelection) {
    run([&] {
        EXPECT_EQ(entries(dialog_.list()), (Entries{"Car[C1]", "Boat[B2]", "Plane[P3]"}));
        EXPECT_EQ(enabled(), "");
        EXPECT_TRUE(dialog_.okButton()->isDefault());
        clickRow(dialog_.list(), 0);
        EXPECT_EQ(enabled(), "OK Delete Down");
        EXPECT_EQ(dialog_.selectedEdit()->text(), "Car[C1]");
        EXPECT_EQ(dialog_.SelectedText, "Car[C1]");
        clickRow(dialog_.list(), 2);
        EXPECT_EQ(enabled(), "OK Delete Up");
        clickRow(dialog_.list(), 1);
        EXPECT_EQ(enabled(), "OK Delete Up Down");
        EXPECT_EQ(dialog_.SelectedText, "Boat[B2]");
        // Enter with the list focused is OK, with the entry selected last.
        QTest::keyClick(dialog_.list(), Qt::Key_Return);
    });
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(dialog_.SelectedText, "Boat[B2]");

    // One anchor: neither Up nor Down.
    table_ = sampleTable({{"Car", "C1"}});
    run([&] {
        EXPECT_EQ(enabled(), "");
        EXPECT_TRUE(dialog_.SelectedText.empty()) << "each run starts without a selection";
        clickRow(dialog_.list(), 0);
        EXPECT_EQ(enabled(), "OK Delete");
    });

    // No anchors: OK is the way out.
    table_ = anchors::AnchorTable{};
    const int result = run([&] {
        EXPECT_EQ(enabled(), "OK");
        click(dialog_.okButton());
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(dialog_.SelectedText.empty());
}

TEST_F(AnchorListDialogTest, UpAndDownMoveEntryAndRecordButNotPastTheEnds) {
    const int result = run([&] {
        clickRow(dialog_.list(), 0);
        click(dialog_.upButton()); // the first entry: nothing happens
        EXPECT_EQ(tableEntries(), (Entries{"Car[C1]", "Boat[B2]", "Plane[P3]"}));
        EXPECT_TRUE(table_.AnchorDataSaved);

        click(dialog_.downButton());
        EXPECT_EQ(entries(dialog_.list()), (Entries{"Boat[B2]", "Car[C1]", "Plane[P3]"}));
        EXPECT_EQ(tableEntries(), entries(dialog_.list()));
        EXPECT_FALSE(table_.AnchorDataSaved);
        EXPECT_EQ(dialog_.list()->selectedItems().value(0), dialog_.list()->item(1));
        click(dialog_.downButton());
        EXPECT_EQ(tableEntries(), (Entries{"Boat[B2]", "Plane[P3]", "Car[C1]"}));
        EXPECT_EQ(enabled(), "OK Delete Up");
        click(dialog_.downButton()); // the last entry: nothing happens
        EXPECT_EQ(tableEntries(), (Entries{"Boat[B2]", "Plane[P3]", "Car[C1]"}));

        click(dialog_.upButton());
        EXPECT_EQ(entries(dialog_.list()), (Entries{"Boat[B2]", "Car[C1]", "Plane[P3]"}));
        EXPECT_EQ(dialog_.SelectedText, "Car[C1]");
        click(dialog_.okButton());
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(tableEntries(), (Entries{"Boat[B2]", "Car[C1]", "Plane[P3]"}));
    EXPECT_EQ(table_[1], original_[0]) << "the record moves with its key frames";
    EXPECT_FALSE(table_.AnchorDataSaved);
}

// Deleting every anchor and then backing out brings the table back exactly, whether by the
// Cancel button, the Escape key or the window's close button.
TEST_F(AnchorListDialogTest, CancelAfterDeletingEverythingRestoresTheTable) {
    const std::pair<const char*, std::function<void()>> endings[] = {
        {"Cancel", [&] { click(dialog_.cancelButton()); }},
        {"Escape", [&] { QTest::keyClick(dialog_.list(), Qt::Key_Escape); }},
        {"close", [&] { dialog_.close(); }},
    };
    for (const auto& [how, end] : endings) {
        SCOPED_TRACE(how);
        table_ = original_;
        // clang before 16 cannot capture a structured binding: name it in an init-capture.
        const int result = run([&, &finish = end] {
            for (int left = 3; left > 0; --left) {
                clickRow(dialog_.list(), left - 1);
                click(dialog_.deleteButton());
                EXPECT_EQ(dialog_.list()->count(), left - 1);
                EXPECT_EQ(table_.size(), std::size_t(left - 1));
                EXPECT_EQ(enabled(), left > 1 ? "" : "OK");
                EXPECT_TRUE(dialog_.selectedEdit()->text().isEmpty());
                EXPECT_TRUE(dialog_.SelectedText.empty());
                EXPECT_EQ(QApplication::focusWidget(), dialog_.cancelButton());
            }
            EXPECT_FALSE(table_.AnchorDataSaved);
            finish();
        });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_EQ(table_.records(), original_.records());
        EXPECT_TRUE(table_.AnchorDataSaved);
        EXPECT_EQ(table_.CurrentAnchor, 1);
        EXPECT_EQ(table_.AnchorsCreated, 3);
    }
}

TEST_F(AnchorListDialogTest, DoubleClickIsOkAndKeepsTheDeletion) {
    const int result = run([&] {
        clickRow(dialog_.list(), 1);
        click(dialog_.deleteButton());
        doubleClickRow(dialog_.list(), 1);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog_.SelectedText, "Plane[P3]");
    EXPECT_EQ(tableEntries(), (Entries{"Car[C1]", "Plane[P3]"}));
    EXPECT_EQ(table_[1], original_[2]);
    EXPECT_FALSE(table_.AnchorDataSaved);
}

TEST_F(AnchorListDialogTest, EndWithCancelKeepsTheChangesMadeSoFar) {
    bool leftOpen = true;
    const int result = run(
        [&] {
            clickRow(dialog_.list(), 0);
            click(dialog_.deleteButton());
            dialog_.endWithCancel();
        },
        &leftOpen);
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(tableEntries(), (Entries{"Boat[B2]", "Plane[P3]"}));
    EXPECT_FALSE(table_.AnchorDataSaved);
}

TEST_F(AnchorListDialogTest, NoMemoryForTheBackupEndsAtOnceWithOk) {
    // Should the dialog come up after all, this ends it and tells.
    bool shown = false;
    QTimer::singleShot(0, &dialog_, [&] {
        shown = dialog_.isVisible();
        dialog_.endWithCancel();
    });
    int result = 0;
    {
        anchors::ScopedAllocFailure failing;
        result = dialog_.Run(table_);
    }
    QApplication::processEvents();
    EXPECT_FALSE(shown);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(prompter_.texts(), std::vector<std::string>{anchors::text::kNoMemory});
    EXPECT_EQ(table_.records(), original_.records());
    EXPECT_TRUE(table_.AnchorDataSaved);
    EXPECT_EQ(table_.CurrentAnchor, 1);
}

} // namespace
