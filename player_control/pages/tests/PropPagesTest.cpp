// The General page: its controls, what it reads, what it applies, and the page object's life.
#include <QCheckBox>
#include <QRadioButton>

#include "platform/prompter/Prompter.h"
#include "player_control/pages/QXMoviePageTexts.h"
#include "player_control/pages/QXMoviePropPages.h"
#include "player_control/pages/tests/PagesTestSupport.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::pagetexts;
using namespace qxm::qxmovie::testing;

namespace {

class GeneralPageTest : public PageTest {
protected:
    QCheckBox* check(int id) { return control<QCheckBox>(holder_.get(), id); }
    QRadioButton* radio(int id) { return control<QRadioButton>(holder_.get(), id); }
    // Checked states of 203, 207, 206, 208, 209, 210.
    std::vector<bool> states() {
        return {check(IDC_AUTOREPEAT)->isChecked(),  check(IDC_CHANGECURSOR)->isChecked(),
                check(IDC_SHOWANCHOR)->isChecked(),  check(IDC_SHOWCONTROLS)->isChecked(),
                radio(IDC_SINGLECLICK)->isChecked(), radio(IDC_DOUBLECLICK)->isChecked()};
    }
    ComPtr<CQXMoviePropPage> page_ = makeObject<CQXMoviePropPage>(life_);
};

} // namespace

TEST_F(GeneralPageTest, ControlsWithIdsTextsAndGroupsInExchangeOrder) {
    auto movie = makeObject<FakeMovie>();
    open(*page_, {movie.get()});
    const struct {
        int id;
        const char* text;
        const char* group;
        bool isRadio;
    } expected[] = {
        {203, "Auto Repeat", "Playback", false}, {207, "Change Cursor", "Controls", false},
        {206, "Show Anchor", "Controls", false}, {208, "Control Panel", "Controls", false},
        {209, "Single-click", "Activate", true}, {210, "Double-click", "Activate", true},
    };
    for (const auto& e : expected) {
        QWidget* w = controlById(holder_.get(), e.id);
        ASSERT_TRUE(w) << e.id;
        EXPECT_EQ(w->inherits("QRadioButton"), e.isRadio) << e.id;
        EXPECT_TRUE(w->inherits("QCheckBox") || e.isRadio) << e.id;
        EXPECT_EQ(static_cast<QAbstractButton*>(w)->text(), e.text);
        EXPECT_EQ(groupOf(w), e.group) << e.id;
        EXPECT_FALSE(w->objectName().isEmpty());
    }
    const std::vector<std::string> order{"AutoRepeat", "ChangeCursor", "ShowAnchor", "ShowControls",
                                         "ActivateMethod"};
    ASSERT_EQ(page_->exchange().size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(page_->exchange().entry(i).property, order[i]);

    PropertyPageInfo info;
    ASSERT_EQ(page_->getPageInfo(info), S_OK);
    EXPECT_EQ(info.title, "General");
    EXPECT_EQ(info.size, page_->pageSize());
    EXPECT_EQ(page_->widget()->size(), info.size);
    EXPECT_EQ(page_->widget()->property("dialogId").toInt(), 200);
    EXPECT_EQ(page_->widget()->font().family(), "Arial");
    EXPECT_EQ(page_->widget()->font().pointSize(), 8);
    EXPECT_EQ(page_->pageTemplate().dialogUnits, QSize(250, 100));
}

TEST_F(GeneralPageTest, BeforeReadingChecksAreClearAndNoActivateMethodIsChosen) {
    auto bare = makeObject<BareObject>(); // nothing to read
    open(*page_, {bare.get()});
    EXPECT_EQ(states(), std::vector<bool>(6, false));
    EXPECT_EQ(page_->exchange().entry(4).number, -1);
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
}

TEST_F(GeneralPageTest, ReadsTheFirstObjectTheRealControl) {
    CQXMovieCtrl control;
    ComPtr<IDispatch> d = control.dispatch();
    ASSERT_EQ(dispPut(*d, "AutoRepeat", Variant(true)), S_OK);
    ASSERT_EQ(dispPut(*d, "ChangeCursor", Variant(false)), S_OK);
    ASSERT_EQ(dispPut(*d, "ShowAnchor", Variant(true)), S_OK);
    ASSERT_EQ(dispPut(*d, "ShowControls", Variant(false)), S_OK);
    ASSERT_EQ(dispPut(*d, "ActivateMethod", Variant(1)), S_OK);
    auto other = makeObject<FakeMovie>(); // the second object is not read
    other->ChangeCursor = true;
    open(*page_, {d.get(), other.get()});
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, false, false, true}));

    page_->deactivate();
    ASSERT_EQ(dispPut(*d, "ActivateMethod", Variant(0)), S_OK);
    ASSERT_EQ(page_->activate(holder_.get()), S_OK);
    EXPECT_TRUE(radio(IDC_SINGLECLICK)->isChecked());
    EXPECT_FALSE(radio(IDC_DOUBLECLICK)->isChecked());
}

TEST_F(GeneralPageTest, ApplyPutsOnlyTheChangedPropertiesOnTheRealControl) {
    CQXMovieCtrl control;
    ComPtr<IDispatch> d = control.dispatch();
    open(*page_, {d.get()});
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
    const bool repeat = control.AutoRepeat();

    click(IDC_AUTOREPEAT);
    click(IDC_DOUBLECLICK);
    EXPECT_EQ(page_->isPageDirty(), S_OK);
    ASSERT_FALSE(site_->statuses.empty());
    EXPECT_EQ(site_->statuses.back(), PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
    EXPECT_EQ(control.AutoRepeat(), repeat); // nothing before apply
    EXPECT_EQ(control.ActivateMethod(), 0);

    // Changed behind the page's back: the page must not write its stale values over them.
    const bool cursor = !control.ChangeCursor();
    const bool anchor = !control.ShowAnchor();
    ASSERT_EQ(dispPut(*d, "ChangeCursor", Variant(cursor)), S_OK);
    ASSERT_EQ(dispPut(*d, "ShowAnchor", Variant(anchor)), S_OK);

    EXPECT_EQ(page_->apply(), S_OK);
    EXPECT_EQ(control.AutoRepeat(), !repeat);
    EXPECT_EQ(control.ActivateMethod(), 1);
    EXPECT_EQ(control.ChangeCursor(), cursor);
    EXPECT_EQ(control.ShowAnchor(), anchor);
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
}

TEST_F(GeneralPageTest, ApplyPutsInExchangeOrderOnEveryObject) {
    auto a = makeObject<FakeMovie>();
    auto b = makeObject<FakeMovie>();
    open(*page_, {a.get(), b.get()});
    click(IDC_DOUBLECLICK);
    click(IDC_SHOWCONTROLS);
    click(IDC_AUTOREPEAT);
    EXPECT_EQ(page_->apply(), S_OK);
    const std::vector<std::string> expected{"AutoRepeat=1", "ShowControls=1", "ActivateMethod=1"};
    EXPECT_EQ(a->puts, expected);
    EXPECT_EQ(b->puts, expected);
}

TEST_F(GeneralPageTest, ARefusedValueIsShownAndKeepsThePageDirty) {
    ScriptedPrompter prompter;
    auto movie = makeObject<FakeMovie>();
    movie->refuseActivateMethod = true;
    open(*page_, {movie.get()});
    click(IDC_AUTOREPEAT);
    click(IDC_DOUBLECLICK);
    EXPECT_EQ(page_->apply(), DISP_E_EXCEPTION);
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].text, "Invalid Property Value");
    EXPECT_EQ(prompter.prompts[0].caption, "General");
    EXPECT_EQ(prompter.prompts[0].buttons, Buttons::Ok);
    EXPECT_EQ(page_->isPageDirty(), S_OK);
    EXPECT_EQ(movie->puts, std::vector<std::string>{"AutoRepeat=1"});
    EXPECT_TRUE(radio(IDC_DOUBLECLICK)->isChecked()); // the user's choice stays on the page

    movie->refuseActivateMethod = false;
    EXPECT_EQ(page_->apply(), S_OK);
    EXPECT_EQ(movie->ActivateMethod, 1);
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
    EXPECT_EQ(prompter.prompts.size(), 1u);
}

TEST_F(GeneralPageTest, PageObjectLifeAndMisuse) {
    EXPECT_EQ(life_.objects(), 1);
    {
        auto second = makeObject<CQXMoviePropPage3>(life_);
        EXPECT_EQ(life_.objects(), 2);
    }
    EXPECT_EQ(life_.objects(), 1);

    EXPECT_EQ(page_->activate(nullptr), E_POINTER);
    auto movie = makeObject<FakeMovie>();
    open(*page_, {movie.get()});
    EXPECT_EQ(page_->activate(holder_.get()), E_UNEXPECTED);

    // Deactivating drops unapplied changes; the next activation reads again.
    click(IDC_AUTOREPEAT);
    EXPECT_EQ(page_->deactivate(), S_OK);
    EXPECT_EQ(page_->widget(), nullptr);
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
    EXPECT_EQ(page_->apply(), S_OK);
    EXPECT_TRUE(movie->puts.empty());
    ASSERT_EQ(page_->activate(holder_.get()), S_OK);
    EXPECT_FALSE(check(IDC_AUTOREPEAT)->isChecked());

    // Objects without IDispatch are refused; letting the objects go is always fine.
    auto site = makeObject<RecordingSite>();
    IUnknown* const notDispatch[] = {site.get()};
    EXPECT_EQ(page_->setObjects(notDispatch), E_NOINTERFACE);
    IUnknown* const null[] = {nullptr};
    EXPECT_EQ(page_->setObjects(null), E_POINTER);
    EXPECT_EQ(page_->setObjects({}), S_OK);
    opened_ = nullptr;
    page_.reset();
    EXPECT_EQ(life_.objects(), 0);
}
