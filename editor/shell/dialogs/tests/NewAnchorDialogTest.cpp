// The New Anchor dialog: the proposals, the checks in their order with the message, caption,
// icon and the edit that gets the focus, and the ways the dialog ends.
#include "TestApplication.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

#include "editor/anchors/AnchorTexts.h"
#include "editor/shell/dialogs/NewAnchorDialog.h"
#include "editor/shell/dialogs/tests/DialogsTestSupport.h"
#include "platform/prompter/Prompter.h"

using namespace qxm;
using namespace qxm::editor;
using namespace qxm::editor::testing;
namespace text = qxm::anchors::text;

namespace {

class NewAnchorDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApplication();
        parent_.resize(400, 300);
        parent_.show();
    }
    QWidget parent_;
    ScriptedPrompter prompter_;
};

// Replaces an edit's text by typing, as the author would, one key per character.
void typeInto(QLineEdit* edit, const QString& typed) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : typed)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

struct OkCase {
    const char* what;
    QString name;          // typed into the name edit
    QString id;            // typed into the ID edit
    const char* message;   // null: accepted
    bool nameField = true; // the edit that gets the focus after the message
};

TEST_F(NewAnchorDialogTest, OkChecksInOrderAndFocusesTheOffendingEdit) {
    const anchors::AnchorTable table = sampleTable({{"Car", "C1"}, {"Boat", "B2"}});
    const QString e21 = QString(21, QChar(0xE9)); // 21 characters, 42 bytes in UTF-8
    const OkCase cases[] = {
        // The edits stop at 40 and 10 characters; exactly that much is accepted.
        {"longest", QString(45, 'n'), QString(12, 'i'), nullptr},
        {"empty name", "", "X1", text::kNameMissing, true},
        {"emptiness first", "Red car", "", text::kIdMissing, false},
        {"name over 40 bytes", e21, "X1", text::kNameTooLong, true},
        {"ID over 10 bytes", "Truck", QString(6, QChar(0xE9)), text::kIdTooLong, false},
        {"colon in name", "Car:2", "X1", text::kNameInvalid, true},
        {"comma in name", "Car,2", "X1", text::kNameInvalid, true},
        {"name before ID", "Car 2", "X.1", text::kNameInvalid, true},
        {"dot in ID", "Car2", "X.1", text::kIdInvalid, false},
        {"bracket in ID", "Car2", "X[1]", text::kIdInvalid, false},
        {"taken ID", "Car2", "C1", text::kIdExists, false},
        {"ID in other case", "Car2", "c1", nullptr},
        {"brackets and dash in name", "Car]-2", "{C~2}", nullptr},
    };

    NewAnchorDialog dialog(&parent_);
    for (const OkCase& c : cases) {
        SCOPED_TRACE(c.what);
        prompter_.prompts.clear();
        bool leftOpen = false;
        const int result = runModal(
            dialog, [&] { return dialog.Run(table); },
            [&] {
                typeInto(dialog.nameEdit(), c.name);
                typeInto(dialog.idEdit(), c.id);
                click(dialog.okButton());
                if (!c.message) return;
                QLineEdit* focused = c.nameField ? dialog.nameEdit() : dialog.idEdit();
                EXPECT_EQ(QApplication::focusWidget(), focused);
                EXPECT_EQ(focused->selectedText(), focused->text());
                EXPECT_EQ(focused->selectionStart(), focused->text().isEmpty() ? -1 : 0);
            },
            &leftOpen);

        if (!c.message) {
            EXPECT_EQ(result, QDialog::Accepted);
            EXPECT_FALSE(leftOpen);
            EXPECT_TRUE(prompter_.prompts.empty());
            EXPECT_EQ(dialog.Name, c.name.left(40).toStdString());
            EXPECT_EQ(dialog.ID, c.id.left(10).toStdString());
            continue;
        }
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_TRUE(leftOpen) << "invalid input must keep the dialog open";
        ASSERT_EQ(prompter_.prompts.size(), 1u);
        const Prompt& p = prompter_.prompts.front();
        EXPECT_EQ(p.text, c.message);
        EXPECT_EQ(p.caption, "New Anchor");
        EXPECT_EQ(p.icon, Icon::Warning);
        EXPECT_EQ(p.buttons, Buttons::Ok);
    }
}

TEST_F(NewAnchorDialogTest, ProposesTheNextNumberAndCancelSkipsTheChecks) {
    anchors::AnchorTable table;
    NewAnchorDialog dialog(&parent_);
    EXPECT_EQ(dialog.windowTitle(), "New Anchor");

    // The first anchor of a movie without anchors; Enter presses OK.
    int result = runModal(
        dialog, [&] { return dialog.Run(table); },
        [&] {
            EXPECT_EQ(dialog.nameEdit()->text(), "AnchorName1");
            EXPECT_EQ(dialog.idEdit()->text(), "AncID1");
            QTest::keyClick(dialog.idEdit(), Qt::Key_Return);
        });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.Name, "AnchorName1");
    EXPECT_EQ(dialog.ID, "AncID1");

    // Seven anchors made so far: the next proposal replaces what the edits held. Cancel with
    // invalid input ends without a message; Name and ID keep what the last OK took.
    table.AnchorsCreated = 7;
    result = runModal(
        dialog, [&] { return dialog.Run(table); },
        [&] {
            EXPECT_EQ(dialog.nameEdit()->text(), "AnchorName8");
            EXPECT_EQ(dialog.idEdit()->text(), "AncID8");
            dialog.nameEdit()->clear();
            click(dialog.cancelButton());
        });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_TRUE(prompter_.prompts.empty());
    EXPECT_EQ(dialog.Name, "AnchorName1");

    // Ended from outside while a run is up.
    bool leftOpen = true;
    result = runModal(
        dialog, [&] { return dialog.Run(table); }, [&] { dialog.endWithCancel(); }, &leftOpen);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(leftOpen);
}

} // namespace
