// Dialog units, the About box, and the layout of the pages and of the About box (each saved as
// /tmp/pages-<name>.png).
#include "TestApplication.h"
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "platform/hosting/PropertyFrame.h"
#include "platform/ui/DialogUnits.h"
#include "player_control/pages/QXMovieAboutDlg.h"
#include "player_control/pages/QXMoviePropPages.h"
#include "player_control/pages/QXMovieVersion.h"
#include "player_control/pages/tests/PagesTestSupport.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::ui;
using namespace qxm::qxmovie::testing;

namespace {

QString picturePath(const char* name) {
    return QDir::temp().filePath(QStringLiteral("pages-%1.png").arg(QLatin1String(name)));
}

// Every control lies inside root, has room for its whole text, and overlaps no other.
void expectTidyLayout(QWidget& root) {
    std::vector<std::pair<std::string, QRect>> placed;
    for (QWidget* w : root.findChildren<QWidget*>()) {
        if (!w->property("controlId").isValid() || !w->isVisible()) continue;
        const std::string name = w->objectName().toStdString();
        const QRect r(w->mapTo(&root, QPoint(0, 0)), w->size());
        EXPECT_TRUE(root.rect().contains(r)) << name << " lies outside";
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)) {
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name << " is cut";
            EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name << " is cut";
        }
        if (w->property("controlId").toInt() < 0 && !qobject_cast<QLabel*>(w)) continue;
        for (const auto& [other, rect] : placed)
            EXPECT_FALSE(rect.intersects(r)) << name << " overlaps " << other;
        placed.emplace_back(name, r);
    }
}

} // namespace

TEST(DialogUnits, BaseUnitsFromTheFontAndRoundedConversion) {
    EXPECT_EQ(dialogUnitsToPixels(QSize(250, 100), DialogBaseUnits{6, 13}), QSize(375, 163));
    EXPECT_EQ(dialogUnitsToPixels(QSize(146, 99), DialogBaseUnits{7, 16}), QSize(256, 198));
    EXPECT_EQ(dialogUnitsToPixels(QSize(250, 110), DialogBaseUnits{5, 13}), QSize(313, 179));

    testApplication();
    const QFont font = dialogFont("Arial", 8);
    const QFontMetrics m(font);
    const int letters =
        m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(dialogBaseUnits(font), (DialogBaseUnits{(letters + 26) / 52, m.height()}));
    const QSize large = dialogUnitsToPixels(QSize(250, 100), dialogFont("Arial", 16));
    EXPECT_GT(large.width(), dialogUnitsToPixels(QSize(250, 100), font).width());
}

TEST(AboutBox, TextsCaptionSizeAndOkClosesIt) {
    testApplication();
    QWidget parent;
    parent.show();
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QXMovieAboutDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->parentWidget(), &parent);
        EXPECT_EQ(dialog->windowTitle(), "About QX-MOVIE Control...");
        EXPECT_EQ(dialog->font().family(), "MS Sans Serif");
        EXPECT_EQ(dialog->size(), dialogUnitsToPixels(QSize(146, 99), dialog->font()));
        QStringList texts;
        for (const char* name : {"titleText", "versionText", "descriptionText", "copyrightText"})
            texts << dialog->findChild<QLabel*>(QLatin1String(name))->text();
        EXPECT_EQ(texts,
                  (QStringList{"QX-MOVIE ActiveX Control", "Ver 2.00.0021",
                               "Hypervideo player control", "Copyright (C) 2026 Movie Marquill"}));
        auto* picture = dialog->findChild<QLabel*>("picture");
        EXPECT_EQ(picture->property("bitmapId").toInt(), 126);
        EXPECT_FALSE(picture->pixmap().isNull());
        auto* ok = control<QPushButton>(dialog, 1);
        ASSERT_TRUE(ok);
        EXPECT_EQ(ok->text(), "OK");
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    showAboutBox(&parent);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_STREQ(kFileVersion, "2.00.0021");
}

class LayoutTest : public PageTest {};

TEST_F(LayoutTest, PagesAndAboutBoxAreTidy) {
    auto movie = makeObject<FakeMovie>();
    movie->AutoRepeat = movie->ShowControls = true;
    movie->ActivateMethod = 1;
    movie->MovieFile = "/home/user/Videos/harbour-tour.avi";
    movie->CursorFile = "/home/user/cursors/hand.cur";
    const std::pair<ComPtr<QXMoviePropPageBase>, const char*> pages[] = {
        {makeObject<CQXMoviePropPage>(life_), "general"},
        {makeObject<CQXMoviePropPage2>(life_), "moviefile"},
        {makeObject<CQXMoviePropPage3>(life_), "cursorfile"},
    };
    for (const auto& [page, name] : pages) {
        open(*page, {movie.get()});
        expectTidyLayout(*page->widget());
        EXPECT_TRUE(savePicture(*page->widget(), picturePath(name)));
    }
    close();

    QXMovieAboutDialog about;
    about.show();
    expectTidyLayout(about);
    EXPECT_TRUE(savePicture(about, picturePath("about")));
}
