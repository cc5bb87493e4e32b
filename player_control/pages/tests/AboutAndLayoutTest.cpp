// Dialog units, the About box, and the layout of every page, the property frame holding the
// General page and the About box (each also saved as a picture under the temporary folder).
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "platform/hosting/PropertyFrame.h"
#include "player_control/pages/DialogUnits.h"
#include "player_control/pages/QXMovieAboutDlg.h"
#include "player_control/pages/QXMoviePageTexts.h"
#include "player_control/pages/QXMoviePropPages.h"
#include "player_control/pages/QXMovieVersion.h"
#include "player_control/pages/tests/PagesTestSupport.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::testing;

namespace {

QString picturePath(const char* name) {
    return QDir::temp().filePath(QStringLiteral("pages-%1.png").arg(QLatin1String(name)));
}

// Every control lies inside root, shows its whole text, and no two controls overlap.
void expectTidyLayout(QWidget& root) {
    std::vector<std::pair<QWidget*, QRect>> controls;
    const QRect area = root.rect();
    for (QWidget* w : root.findChildren<QWidget*>()) {
        if (!w->property("controlId").isValid() || !w->isVisible()) continue;
        const QRect r(w->mapTo(&root, QPoint(0, 0)), w->size());
        EXPECT_TRUE(area.contains(r)) << w->objectName().toStdString() << " lies outside";
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)) {
            EXPECT_GE(w->width(), w->minimumSizeHint().width())
                << w->objectName().toStdString() << " is cut";
            EXPECT_GE(w->height(), w->minimumSizeHint().height())
                << w->objectName().toStdString() << " is cut";
        }
        if (w->property("controlId").toInt() >= 0 || qobject_cast<QLabel*>(w))
            controls.emplace_back(w, r);
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i].second.intersects(controls[j].second))
                << controls[i].first->objectName().toStdString() << " overlaps "
                << controls[j].first->objectName().toStdString();
}

} // namespace

TEST(DialogUnits, ConversionRoundsToTheNearestPixel) {
    EXPECT_EQ(dialogUnitsToPixels(QSize(250, 100), DialogBaseUnits{6, 13}), QSize(375, 163));
    EXPECT_EQ(dialogUnitsToPixels(QSize(146, 99), DialogBaseUnits{7, 16}), QSize(256, 198));
    EXPECT_EQ(dialogUnitsToPixels(QSize(250, 110), DialogBaseUnits{5, 13}), QSize(313, 179));
    EXPECT_EQ(dialogUnitsToPixels(QSize(4, 8), DialogBaseUnits{6, 13}), QSize(6, 13));
    EXPECT_EQ(dialogUnitsToPixels(QSize(0, 0), DialogBaseUnits{6, 13}), QSize(0, 0));
}

TEST(DialogUnits, BaseUnitsComeFromTheFontsLettersAndHeight) {
    app();
    const QFont font = dialogFont("Arial", 8);
    const QFontMetrics m(font);
    const int letters =
        m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const DialogBaseUnits base = dialogBaseUnits(font);
    EXPECT_EQ(base.x, (letters + 26) / 52);
    EXPECT_EQ(base.y, m.height());
    EXPECT_GT(base.x, 2);
    EXPECT_EQ(dialogUnitsToPixels(QSize(250, 100), font),
              dialogUnitsToPixels(QSize(250, 100), base));
    // A larger font gives a larger page.
    const QSize small = dialogUnitsToPixels(QSize(250, 100), font);
    const QSize large = dialogUnitsToPixels(QSize(250, 100), dialogFont("Arial", 16));
    EXPECT_GT(large.width(), small.width());
    EXPECT_GT(large.height(), small.height());
}

TEST(AboutBox, TextsCaptionSizeAndOk) {
    app();
    QXMovieAboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "About QX-MOVIE Control...");
    EXPECT_EQ(dialog.property("dialogId").toInt(), 1);
    EXPECT_EQ(dialog.font().family(), "MS Sans Serif");
    EXPECT_EQ(dialog.size(), dialogUnitsToPixels(QSize(146, 99), dialog.font()));
    auto text = [&](const char* name) {
        auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QString("<missing>");
    };
    EXPECT_EQ(text("titleText"), "QX-MOVIE ActiveX Control");
    EXPECT_EQ(text("versionText"), "Ver 2.00.0021");
    EXPECT_EQ(text("descriptionText"), "Hypervideo player control");
    EXPECT_EQ(text("copyrightText"), "Copyright (C) 2026 Movie Marquill");
    auto* picture = dialog.findChild<QLabel*>("picture");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->property("bitmapId").toInt(), 126);
    EXPECT_FALSE(picture->pixmap().isNull());
    auto* ok = qobject_cast<QPushButton*>(controlById(&dialog, 1));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok, dialog.okButton());
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());

    EXPECT_EQ(std::string(kFileVersion), "2.00.0021");
    EXPECT_EQ(std::string(kFileDescription), "QX-MOVIE ActiveX Control Module");
    EXPECT_EQ(std::string(kInternalName), "QXMOVIE");
    EXPECT_EQ(std::string(kOriginalFilename), "QXMOVIE.OCX");
}

TEST(AboutBox, ShowsModallyUntilOk) {
    app();
    QWidget parent;
    parent.show();
    bool wasModal = false;
    QString caption;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QXMovieAboutDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        wasModal = dialog->isModal();
        caption = dialog->windowTitle();
        EXPECT_EQ(dialog->parentWidget(), &parent);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    showAboutBox(&parent);
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(caption, "About QX-MOVIE Control...");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class LayoutTest : public PageTest {};

TEST_F(LayoutTest, EveryPageIsTidyAndSavedAsAPicture) {
    auto movie = makeObject<FakeMovie>();
    movie->AutoRepeat = true;
    movie->ShowControls = true;
    movie->ActivateMethod = 1;
    movie->MovieFile = "/home/user/Videos/harbour-tour.avi";
    movie->CursorFile = "/home/user/cursors/hand.cur";
    const struct {
        ComPtr<QXMoviePropPageBase> page;
        const char* picture;
    } cases[] = {
        {makeObject<CQXMoviePropPage>(life_), "general"},
        {makeObject<CQXMoviePropPage2>(life_), "moviefile"},
        {makeObject<CQXMoviePropPage3>(life_), "cursorfile"},
    };
    for (const auto& c : cases) {
        open(*c.page, {movie.get()});
        QWidget& page = *c.page->widget();
        expectTidyLayout(page);
        EXPECT_TRUE(savePicture(page, picturePath(c.picture))) << c.picture;
        c.page->deactivate();
        c.page->setObjects({});
        opened_ = nullptr;
    }
}

TEST_F(LayoutTest, TheFrameWithTheGeneralPageAndTheAboutBox) {
    CQXMovieCtrl movieCtrl;
    ComPtr<IDispatch> d = movieCtrl.dispatch();
    ASSERT_EQ(dispPut(*d, "ActivateMethod", Variant(1)), S_OK);
    ASSERT_EQ(dispPut(*d, "ShowAnchor", Variant(true)), S_OK);
    IUnknown* const objects[] = {d.get()};
    const Guid pages[] = {kClsidGeneralPage, kClsidMovieFilePage};
    PropertyFrame frame(nullptr, "QX-MOVIE ActiveX Control Properties", objects, pages,
                        [this](const Guid& clsid, ComPtr<IPropertyPage>& out) -> HRESULT {
                            if (clsid == kClsidGeneralPage)
                                out = makeObject<CQXMoviePropPage>(life_);
                            else if (clsid == kClsidMovieFilePage)
                                out = makeObject<CQXMoviePropPage2>(life_);
                            else
                                return CLASS_E_CLASSNOTAVAILABLE;
                            return S_OK;
                        });
    frame.show();
    ASSERT_EQ(frame.tabs()->count(), 2);
    EXPECT_EQ(frame.tabs()->tabText(0), "General");
    EXPECT_EQ(frame.tabs()->tabText(1), "MovieFile");
    QWidget* general = frame.page(0)->widget();
    ASSERT_TRUE(general);
    EXPECT_TRUE(QRect(QPoint(0, 0), frame.size())
                    .contains(QRect(general->mapTo(&frame, QPoint(0, 0)), general->size())));
    EXPECT_TRUE(control<QRadioButton>(general, 210)->isChecked());
    EXPECT_TRUE(savePicture(frame, picturePath("frame")));

    // The Apply button follows the General page; OK puts its change on the control.
    QTest::mouseClick(control<QRadioButton>(general, 209), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_TRUE(frame.buttons()->button(QDialogButtonBox::Apply)->isEnabled());
    frame.buttons()->button(QDialogButtonBox::Ok)->click();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(movieCtrl.ActivateMethod(), 0);

    QXMovieAboutDialog about;
    about.show();
    expectTidyLayout(about);
    EXPECT_TRUE(savePicture(about, picturePath("about")));
}
