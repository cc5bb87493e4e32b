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

TEST_F(GeneralPageTest, ControlsWithIdsTextsAndGroupsInExchangeOrder) {
    open(*page_, {});
    const struct {
        int id;
        const char *text, *group, *type;
    } expected[] = {
        {203, "Auto Repeat", "Playback", "QCheckBox"},
        {207, "Change Cursor", "Controls", "QCheckBox"},
        {206, "Show Anchor", "Controls", "QCheckBox"},
        {208, "Control Panel", "Controls", "QCheckBox"},
        {209, "Single-click", "Activate", "QRadioButton"},
        {210, "Double-click", "Activate", "QRadioButton"},
    };
    for (const auto& e : expected) {
        auto* w = control<QAbstractButton>(holder_.get(), e.id);
        ASSERT_TRUE(w) << e.id;
        EXPECT_TRUE(w->inherits(e.type)) << e.id;
        EXPECT_EQ(w->text(), e.text);
        EXPECT_EQ(groupOf(w), e.group) << e.id;
        EXPECT_FALSE(w->objectName().isEmpty());
    }
    std::vector<std::string> order;
    for (std::size_t i = 0; i < page_->exchange().size(); ++i)
        order.push_back(page_->exchange().entry(i).property);
    EXPECT_EQ(order, (std::vector<std::string>{"AutoRepeat", "ChangeCursor", "ShowAnchor",
                                               "ShowControls", "ActivateMethod"}));

    PropertyPageInfo info;
    ASSERT_EQ(page_->getPageInfo(info), S_OK);
    EXPECT_EQ(info.title, "General");
    EXPECT_EQ(info.size, page_->pageSize());
    EXPECT_EQ(page_->widget()->size(), info.size);
    EXPECT_EQ(page_->widget()->property("dialogId").toInt(), 200);
    EXPECT_EQ(page_->widget()->font().family(), "Arial");
    EXPECT_EQ(page_->widget()->font().pointSize(), 8);
}

TEST_F(GeneralPageTest, ApplyGoesInExchangeOrderToEveryObjectAndShowsARefusal) {
    ScriptedPrompter prompter;
    auto a = makeObject<FakeMovie>(), b = makeObject<FakeMovie>();
    b->refuseActivateMethod = true;
    open(*page_, {a.get(), b.get()});
    click(IDC_DOUBLECLICK);
    click(IDC_SHOWCONTROLS);
    click(IDC_AUTOREPEAT);
    EXPECT_EQ(page_->apply(), DISP_E_EXCEPTION);
    ASSERT_EQ(prompter.prompts.size(), 1u);
    EXPECT_EQ(prompter.prompts[0].text, "Invalid Property Value");
    EXPECT_EQ(prompter.prompts[0].caption, "General");
    EXPECT_EQ(prompter.prompts[0].buttons, Buttons::Ok);
    EXPECT_EQ(page_->isPageDirty(), S_OK);
    EXPECT_EQ(b->puts, (std::vector<std::string>{"AutoRepeat=True", "ShowControls=True"}));

    b->refuseActivateMethod = false;
    EXPECT_EQ(page_->apply(), S_OK);
    EXPECT_EQ(b->puts, (std::vector<std::string>{"AutoRepeat=True", "ShowControls=True",
                                                 "ActivateMethod=1"}));
    EXPECT_EQ(a->ActivateMethod, 1);
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
}

TEST_F(GeneralPageTest, PageObjectLifeAndMisuse) {
    EXPECT_EQ(life_.objects(), 1);
    EXPECT_EQ(page_->activate(nullptr), E_POINTER);
    auto movie = makeObject<FakeMovie>();
    open(*page_, {movie.get()});
    EXPECT_EQ(page_->activate(holder_.get()), E_UNEXPECTED);

    // Deactivating drops unapplied changes.
    click(IDC_AUTOREPEAT);
    EXPECT_EQ(page_->deactivate(), S_OK);
    EXPECT_EQ(page_->widget(), nullptr);
    EXPECT_EQ(page_->isPageDirty(), S_FALSE);
    EXPECT_EQ(page_->apply(), S_OK);
    EXPECT_TRUE(movie->puts.empty());

    IUnknown* const notDispatch[] = {site_.get()};
    EXPECT_EQ(page_->setObjects(notDispatch), E_NOINTERFACE);
    close();
    page_.reset();
    EXPECT_EQ(life_.objects(), 0);
}
