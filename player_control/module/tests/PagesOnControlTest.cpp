// The property pages on the real control: what the General and file pages read from it and
// apply to it, and the property frame holding the General page (saved as /tmp/pages-frame.png).
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "platform/hosting/PropertyFrame.h"
#include "player_control/control/CQXMovieCtrl.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/pages/QXMoviePageTexts.h"
#include "player_control/pages/QXMoviePropPages.h"
#include "player_control/pages/tests/PagesTestSupport.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::pagetexts;
using namespace qxm::qxmovie::testing;

TEST_F(GeneralPageTest, StartsClearedThenShowsTheFirstObjectOfTheRealControl) {
    open(*page_, {}); // nothing to read: check boxes 0, no activate method
    EXPECT_EQ(states(), std::vector<bool>(6, false));
    EXPECT_EQ(page_->exchange().entry(4).number, -1);

    CQXMovieCtrl movie;
    ComPtr<IDispatch> d = movie.dispatch();
    for (auto [name, value] : {std::pair{"AutoRepeat", true},
                               {"ChangeCursor", false},
                               {"ShowAnchor", true},
                               {"ShowControls", false}})
        ASSERT_EQ(dispPut(*d, name, Variant(value)), S_OK);
    ASSERT_EQ(dispPut(*d, "ActivateMethod", Variant(1)), S_OK);
    auto other = makeObject<FakeMovie>(); // a second object is not read
    other->ChangeCursor = true;
    open(*page_, {d.get(), other.get()});
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, false, false, true}));
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);

    ASSERT_EQ(dispPut(*d, "ActivateMethod", Variant(0)), S_OK);
    open(*page_, {d.get()});
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, false, true, false}));
}

TEST_F(GeneralPageTest, ApplyPutsOnlyTheChangedPropertiesOnTheRealControl) {
    CQXMovieCtrl movie;
    ComPtr<IDispatch> d = movie.dispatch();
    open(*page_, {d.get()});
    const bool repeat = movie.AutoRepeat();
    click(IDC_AUTOREPEAT);
    click(IDC_DOUBLECLICK);
    EXPECT_EQ(page_->isPageDirty(), S_OK);
    EXPECT_EQ(site_->statuses,
              std::vector<std::uint32_t>(2, PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE));
    EXPECT_EQ(movie.AutoRepeat(), repeat); // nothing before apply

    // Changed behind the page's back: apply must not write the page's stale values over them.
    const bool cursor = !movie.ChangeCursor(), anchor = !movie.ShowAnchor();
    ASSERT_EQ(dispPut(*d, "ChangeCursor", Variant(cursor)), S_OK);
    ASSERT_EQ(dispPut(*d, "ShowAnchor", Variant(anchor)), S_OK);
    EXPECT_EQ(page_->apply(), S_OK);
    EXPECT_EQ(movie.AutoRepeat(), !repeat);
    EXPECT_EQ(movie.ActivateMethod(), 1);
    EXPECT_EQ(movie.ChangeCursor(), cursor);
    EXPECT_EQ(movie.ShowAnchor(), anchor);
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
}

TEST_F(FilePageTest, TypedAndChosenNamesReachTheRealControlUncut) {
    CQXMovieCtrl movie; // without its window the control keeps the names it is given
    ComPtr<IDispatch> d = movie.dispatch();
    ASSERT_EQ(dispPut(*d, "CursorFile", Variant("cursors/old.cur")), S_OK);

    auto cursorPage = makeObject<CQXMoviePropPage3>(life_);
    open(*cursorPage, {d.get()});
    EXPECT_EQ(edit(IDC_CURSORFILE)->text(), "cursors/old.cur");
    prompter_.queueFile("/home/user/cursors/pointer.ani");
    click(IDC_CURSORFILE_BROWSE);
    EXPECT_EQ(prompter_.fileRequests.back().title, "Cursor File Select");
    EXPECT_EQ(prompter_.fileRequests.back().filter, strings::kCursorFilter.text);
    EXPECT_EQ(movie.CursorFile(), "cursors/old.cur");
    EXPECT_EQ(cursorPage->apply(), S_OK);
    EXPECT_EQ(movie.CursorFile(), "/home/user/cursors/pointer.ani");

    auto moviePage = makeObject<CQXMoviePropPage2>(life_);
    open(*moviePage, {d.get()});
    std::string path = "/media";
    while (path.size() < 400)
        path += "/folder-with-a-rather-long-name";
    QTest::keyClicks(edit(IDC_MOVIEFILE), QString::fromStdString(path + "/movie.avi"));
    EXPECT_EQ(moviePage->isPageDirty(), S_OK);
    EXPECT_EQ(moviePage->apply(), S_OK);
    EXPECT_EQ(movie.MovieFile(), path + "/movie.avi");
}

class PropertyFrameTest : public PageTest {};

TEST_F(PropertyFrameTest, TheGeneralPageEditsTheRealControl) {
    // The frame as the control shows it: the General page edits the real control.
    CQXMovieCtrl movieCtrl;
    ComPtr<IDispatch> d = movieCtrl.dispatch();
    ASSERT_EQ(dispPut(*d, "ActivateMethod", Variant(1)), S_OK);
    IUnknown* const objects[] = {d.get()};
    const Guid classes[] = {kClsidGeneralPage, kClsidMovieFilePage};
    PropertyFrame frame(nullptr, "QX-MOVIE ActiveX Control Properties", objects, classes,
                        [this](const Guid& clsid, ComPtr<IPropertyPage>& out) -> HRESULT {
                            if (clsid == kClsidGeneralPage)
                                out = makeObject<CQXMoviePropPage>(life_);
                            else
                                out = makeObject<CQXMoviePropPage2>(life_);
                            return S_OK;
                        });
    frame.show();
    EXPECT_EQ(frame.tabs()->tabText(0), "General");
    EXPECT_EQ(frame.tabs()->tabText(1), "MovieFile");
    QWidget* general = frame.page(0)->widget();
    EXPECT_TRUE(frame.rect().contains(QRect(general->mapTo(&frame, QPoint()), general->size())));
    EXPECT_TRUE(savePicture(frame, QDir::temp().filePath("pages-frame.png")));
    QTest::mouseClick(control<QRadioButton>(general, 209), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_TRUE(frame.buttons()->button(QDialogButtonBox::Apply)->isEnabled());
    frame.buttons()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(movieCtrl.ActivateMethod(), 0);
}
