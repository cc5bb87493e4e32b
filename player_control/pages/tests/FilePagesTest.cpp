// The movie file and cursor file pages: their controls, typing, and the "..." button asking
// the prompter for a file.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/prompter/Prompter.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/pages/QXMoviePageTexts.h"
#include "player_control/pages/QXMoviePropPages.h"
#include "player_control/pages/tests/PagesTestSupport.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::pagetexts;
using namespace qxm::qxmovie::testing;

TEST_F(FilePageTest, BothPagesHaveALabelAnEditBoxAndABrowseButton) {
    const struct {
        ComPtr<QXMovieFilePage> page;
        const char* title;
        int dialogId, editId, browseId;
    } cases[] = {
        {makeObject<CQXMoviePropPage2>(life_), "MovieFile", 105, 211, 210},
        {makeObject<CQXMoviePropPage3>(life_), "CursorFile", 201, 213, 212},
    };
    for (const auto& c : cases) {
        open(*c.page, {});
        ASSERT_TRUE(edit(c.editId)) << c.title;
        auto* browse = control<QPushButton>(holder_.get(), c.browseId);
        ASSERT_TRUE(browse);
        EXPECT_EQ(browse->text(), "...");
        auto* label = holder_->findChild<QLabel*>("fileNameLabel");
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text(), "FileName :");
        EXPECT_EQ(label->buddy(), edit(c.editId));
        PropertyPageInfo info;
        ASSERT_EQ(c.page->getPageInfo(info), S_OK);
        EXPECT_EQ(info.title, c.title);
        EXPECT_EQ(c.page->pageTemplate().dialogUnits, QSize(250, 110));
        EXPECT_EQ(c.page->widget()->size(), info.size);
        EXPECT_EQ(c.page->widget()->property("dialogId").toInt(), c.dialogId);
    }
}

TEST_F(FilePageTest, AChosenMovieGoesIntoTheEditBoxAndIsSetOnApply) {
    auto page = makeObject<CQXMoviePropPage2>(life_);
    auto movie = makeObject<FakeMovie>();
    movie->MovieFile = "/movies/old.avi";
    open(*page, {movie.get()});
    EXPECT_EQ(edit(IDC_MOVIEFILE)->text(), "/movies/old.avi");

    prompter_.queueFile("/movies/a long folder name/new clip.mpg");
    click(IDC_MOVIEFILE_BROWSE);
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    const FileRequest& r = prompter_.fileRequests[0];
    EXPECT_EQ(r.title, "Movie File Select");
    EXPECT_EQ(r.filter, strings::kMovieFilter.text);
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(r.mustExist);
    EXPECT_EQ(r.initialPath, "/movies/old.avi");
    EXPECT_EQ(edit(IDC_MOVIEFILE)->text(), "/movies/a long folder name/new clip.mpg");
    EXPECT_EQ(page->isPageDirty(), S_OK);
    EXPECT_EQ(site_->statuses.back(), PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
    EXPECT_TRUE(movie->puts.empty()); // nothing before apply
    EXPECT_EQ(page->apply(), S_OK);
    EXPECT_EQ(movie->puts,
              std::vector<std::string>{"MovieFile=/movies/a long folder name/new clip.mpg"});

    // Cancelled: nothing changes.
    prompter_.queueFile(std::nullopt);
    click(IDC_MOVIEFILE_BROWSE);
    EXPECT_EQ(prompter_.fileRequests.back().initialPath, "/movies/a long folder name/new clip.mpg");
    EXPECT_EQ(edit(IDC_MOVIEFILE)->text(), "/movies/a long folder name/new clip.mpg");
    EXPECT_EQ(page->isPageDirty(), S_FALSE);
}
