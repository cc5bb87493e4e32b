// The movie file and cursor file pages: their controls, typing, and the "..." button asking
// the prompter for a file.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/prompter/Prompter.h"
#include "player_control/control/QXMovieStrings.h"
#include "player_control/pages/QXMoviePageTexts.h"
#include "player_control/pages/QXMoviePropPages.h"
#include "player_control/pages/tests/PagesTestSupport.h"

using namespace qxm;
using namespace qxm::qxmovie;
using namespace qxm::qxmovie::pagetexts;
using namespace qxm::qxmovie::testing;

namespace {

class FilePageTest : public PageTest {
protected:
    QLineEdit* edit(int id) { return control<QLineEdit>(holder_.get(), id); }
    ScriptedPrompter prompter_;
};

} // namespace

TEST_F(FilePageTest, BothPagesHaveALabelAnEditBoxAndABrowseButton) {
    const struct {
        ComPtr<QXMovieFilePage> page;
        const char* title;
        int dialogId, editId, browseId;
    } cases[] = {
        {makeObject<CQXMoviePropPage2>(life_), "MovieFile", 105, 211, 210},
        {makeObject<CQXMoviePropPage3>(life_), "CursorFile", 201, 213, 212},
    };
    auto movie = makeObject<FakeMovie>();
    for (const auto& c : cases) {
        open(*c.page, {movie.get()});
        QWidget* root = holder_.get();
        ASSERT_TRUE(edit(c.editId)) << c.title;
        auto* browse = control<QPushButton>(root, c.browseId);
        ASSERT_TRUE(browse);
        EXPECT_EQ(browse->text(), "...");
        auto* label = root->findChild<QLabel*>("fileNameLabel");
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text(), "FileName :");
        EXPECT_EQ(label->buddy(), edit(c.editId));

        PropertyPageInfo info;
        ASSERT_EQ(c.page->getPageInfo(info), S_OK);
        EXPECT_EQ(info.title, c.title);
        EXPECT_EQ(c.page->pageTemplate().dialogUnits, QSize(250, 110));
        EXPECT_EQ(c.page->widget()->size(), info.size);
        EXPECT_EQ(c.page->widget()->property("dialogId").toInt(), c.dialogId);
        EXPECT_EQ(c.page->widget()->font().family(), "Arial");
        c.page->deactivate();
        c.page->setObjects({});
        c.page->setPageSite(nullptr);
        opened_ = nullptr;
    }
}

TEST_F(FilePageTest, BrowsingPutsTheChosenMovieIntoTheEditBoxAndApplySetsIt) {
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
    ASSERT_FALSE(site_->statuses.empty());
    EXPECT_EQ(site_->statuses.back(), PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
    EXPECT_EQ(movie->MovieFile, "/movies/old.avi"); // nothing before apply
    EXPECT_TRUE(movie->puts.empty());

    EXPECT_EQ(page->apply(), S_OK);
    EXPECT_EQ(movie->puts,
              std::vector<std::string>{"MovieFile=/movies/a long folder name/new clip.mpg"});
}

TEST_F(FilePageTest, ALongPathIsNotCut) {
    auto page = makeObject<CQXMoviePropPage2>(life_);
    CQXMovieCtrl control; // no engine window: the control keeps the name it is given
    ComPtr<IDispatch> d = control.dispatch();
    open(*page, {d.get()});
    std::string path = "/media";
    while (path.size() < 400)
        path += "/folder-with-a-rather-long-name";
    path += "/movie.avi";
    prompter_.queueFile(path);
    click(IDC_MOVIEFILE_BROWSE);
    EXPECT_EQ(control.MovieFile(), "");
    EXPECT_EQ(page->apply(), S_OK);
    EXPECT_EQ(control.MovieFile(), path);
}

TEST_F(FilePageTest, CancellingTheFileDialogChangesNothing) {
    auto page = makeObject<CQXMoviePropPage3>(life_);
    auto movie = makeObject<FakeMovie>();
    movie->CursorFile = "hand.cur";
    open(*page, {movie.get()});
    const std::size_t statuses = site_->statuses.size();
    prompter_.queueFile(std::nullopt);
    click(IDC_CURSORFILE_BROWSE);
    EXPECT_EQ(prompter_.fileRequests.size(), 1u);
    EXPECT_EQ(edit(IDC_CURSORFILE)->text(), "hand.cur");
    EXPECT_EQ(page->isPageDirty(), S_FALSE);
    EXPECT_EQ(site_->statuses.size(), statuses);
    EXPECT_EQ(page->apply(), S_OK);
    EXPECT_TRUE(movie->puts.empty());
}

TEST_F(FilePageTest, CursorFileChosenAndAppliedOnTheRealControl) {
    auto page = makeObject<CQXMoviePropPage3>(life_);
    CQXMovieCtrl control;
    ComPtr<IDispatch> d = control.dispatch();
    ASSERT_EQ(dispPut(*d, "CursorFile", Variant("cursors/old.cur")), S_OK);
    open(*page, {d.get()});
    EXPECT_EQ(edit(IDC_CURSORFILE)->text(), "cursors/old.cur");

    prompter_.queueFile("/home/user/cursors/pointer.ani");
    click(IDC_CURSORFILE_BROWSE);
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    EXPECT_EQ(prompter_.fileRequests[0].title, "Cursor File Select");
    EXPECT_EQ(prompter_.fileRequests[0].filter, strings::kCursorFilter.text);
    EXPECT_EQ(prompter_.fileRequests[0].initialPath, "cursors/old.cur");
    EXPECT_EQ(control.CursorFile(), "cursors/old.cur");
    EXPECT_EQ(page->apply(), S_OK);
    EXPECT_EQ(control.CursorFile(), "/home/user/cursors/pointer.ani");
}

TEST_F(FilePageTest, TypingAFileNameMarksItChanged) {
    auto page = makeObject<CQXMoviePropPage2>(life_);
    auto movie = makeObject<FakeMovie>();
    open(*page, {movie.get()});
    EXPECT_EQ(page->isPageDirty(), S_FALSE);
    QTest::keyClicks(edit(IDC_MOVIEFILE), "typed.avi");
    EXPECT_EQ(page->isPageDirty(), S_OK);
    EXPECT_EQ(page->apply(), S_OK);
    EXPECT_EQ(movie->puts, std::vector<std::string>{"MovieFile=typed.avi"});
    // The "..." button starts from what was typed.
    click(IDC_MOVIEFILE_BROWSE);
    ASSERT_EQ(prompter_.fileRequests.size(), 1u);
    EXPECT_EQ(prompter_.fileRequests[0].initialPath, "typed.avi");
}
