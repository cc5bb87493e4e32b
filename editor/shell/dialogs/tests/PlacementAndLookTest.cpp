// Where the dialogs appear, how they look (a picture of each is saved under the build's
// test-home/editor-dialogs), and the About box.
#include "TestApplication.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include "editor/shell/dialogs/AboutDialog.h"
#include "editor/shell/dialogs/AnchorListDialog.h"
#include "editor/shell/dialogs/DialogPlacement.h"
#include "editor/shell/dialogs/NewAnchorDialog.h"
#include "editor/shell/dialogs/tests/DialogsTestSupport.h"
#include "platform/prompter/Prompter.h"
#include "platform/ui/DialogUnits.h"

using namespace qxm;
using namespace qxm::editor;
using namespace qxm::editor::testing;

namespace {

TEST(DialogPlacement, CentresOverTheParentAndKeepsToTheScreen) {
    const QRect screen(0, 0, 800, 600);
    struct Case {
        const char* what;
        QRect dialog, parent, screen;
        QPoint expected;
    } cases[] = {
        {"centred", {0, 0, 200, 100}, {100, 100, 400, 300}, screen, {200, 200}},
        {"halves drop", {0, 0, 200, 100}, {100, 100, 401, 301}, screen, {200, 200}},
        // Halves of negative differences drop toward zero.
        {"parent smaller", {0, 0, 200, 100}, {300, 300, 100, 51}, screen, {250, 276}},
        {"dialog position ignored", {700, 500, 200, 100}, {100, 100, 400, 300}, screen, {200, 200}},
        {"right edge", {0, 0, 200, 100}, {650, 100, 400, 300}, screen, {600, 200}},
        {"bottom edge", {0, 0, 200, 100}, {100, 450, 400, 300}, screen, {200, 500}},
        {"exactly at the edge", {0, 0, 200, 100}, {500, 400, 400, 300}, screen, {600, 500}},
        {"negative", {0, 0, 200, 100}, {-300, -250, 200, 100}, screen, {0, 0}},
        {"larger than the screen", {0, 0, 1000, 700}, {0, 0, 800, 600}, screen, {0, 0}},
        {"second screen", {0, 0, 300, 200}, {1700, 100, 200, 100}, {800, 0, 1024, 768}, {1524, 50}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(centredOver(c.dialog, c.parent, c.screen), c.expected) << c.what;
}

// Both anchor dialogs centre themselves over their parent whenever they are shown, here moved
// back from the screen's right and bottom edges.
TEST(DialogPlacement, AnchorDialogsCentreThemselvesWhenShown) {
    testApplication();
    ScriptedPrompter prompter;
    QWidget parent;
    parent.show();
    const QRect screen = parent.screen()->geometry();
    anchors::AnchorTable table = sampleTable({{"Car", "C1"}});
    NewAnchorDialog newAnchor(&parent);
    AnchorListDialog list(&parent);

    const QPoint corners[] = {{40, 30}, {screen.right() - 150, screen.bottom() - 100}};
    for (const QPoint& corner : corners) {
        parent.setGeometry(QRect(corner, QSize(300, 200)));
        QApplication::processEvents();
        auto check = [&](QWidget& dialog) {
            const QRect frame = dialog.frameGeometry();
            EXPECT_EQ(frame.topLeft(), centredOver(frame, parent.frameGeometry(), screen));
            EXPECT_TRUE(screen.contains(frame));
        };
        runModal(
            newAnchor, [&] { return newAnchor.Run(table); }, [&] { check(newAnchor); });
        runModal(
            list, [&] { return list.Run(table); }, [&] { check(list); });
    }
}

// Each dialog laid out in its own font: every control in place and readable. The pictures are
// for looking at.
TEST(DialogLook, DialogsAreTidyInTheirFonts) {
    testApplication();
    ScriptedPrompter prompter;
    QWidget parent;
    parent.resize(640, 480);
    parent.show();
    anchors::AnchorTable table = sampleTable(
        {{"Car", "C1"}, {"Red_balloon_over_the_harbour", "RB-7"}, {"Boat", "B2"}, {"Plane", "P3"}});

    NewAnchorDialog newAnchor(&parent);
    runModal(
        newAnchor, [&] { return newAnchor.Run(table); },
        [&] {
            expectTidyLayout(newAnchor);
            EXPECT_TRUE(savePicture(newAnchor, "new-anchor"));
        });

    AnchorListDialog list(&parent);
    runModal(
        list, [&] { return list.Run(table); },
        [&] {
            clickRow(list.list(), 1);
            expectTidyLayout(list);
            EXPECT_TRUE(savePicture(list, "anchor-list"));
        });

    AboutDialog about(&parent);
    EXPECT_EQ(about.size(), ui::dialogUnitsToPixels(QSize(168, 64), about.font()));
    const int result = runModal(
        about, [&] { return about.Run(); },
        [&] {
            // The picture fills its sunken frame.
            QLabel* picture = about.picture();
            EXPECT_EQ(picture->frameShadow(), QFrame::Sunken);
            EXPECT_EQ(picture->pixmap().size(), picture->contentsRect().size());
            expectTidyLayout(about);
            EXPECT_TRUE(savePicture(about, "about"));
            click(about.okButton());
        });
    EXPECT_EQ(result, QDialog::Accepted);
}

} // namespace
