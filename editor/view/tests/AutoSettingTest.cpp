// Automatic Setting in the running editor: the real tracking library on a movie shown scaled,
// and a scripted stand-in for it (FakeTracking.cpp) for the calls, their order and arguments,
// the failures, and the editor's state while the library works.
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "EditorHarness.h"
#include "editor/anchors/AnchorFile.h"
#include "editor/anchors/AnchorMemory.h"
#include "editor/anchors/AnchorTexts.h"
#include "editor/shell/CMainFrame.h"
#include "editor/shell/EditorTexts.h"
#include "editor/view/AutoSetting.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/FrameMath.h"
#include "platform/dde/Dde.h"
#include "platform/prompter/Prompter.h"
#include "platform/ui/QtPrompter.h"
#include "testing/moviegen/MovieGen.h"

namespace qxm::editor {
namespace {

using namespace testing;
using anchors::FrameEntry;
using anchors::Rect;

// A 320 x 240 movie: larger than the form's picture, so the editor shows it scaled down.
moviegen::MovieRecipe scaledRecipe(int frames) {
    moviegen::MovieRecipe recipe;
    recipe.kind = "avi-mjpeg";
    recipe.width = 320;
    recipe.height = 240;
    recipe.frames = frames;
    recipe.speed = 4.0;
    return recipe;
}

std::string scaledMovie() {
    return Files::get().movie("auto-320.avi", scaledRecipe(130));
}

// The same movie through a Movie Object File whose working range starts at frame 100.
std::string originMob() {
    scaledMovie();
    Files::get().write("ORIGIN.MOB", "MovieFile=auto-320.avi\nStartFrame=100\nEndFrame=129\n");
    return Files::get().path("ORIGIN.MOB");
}

// Makes the anchor the current one as the anchor list does, shown on its Starting Frame with
// its Ending Frame set; the table counts as saved and a mark as selected.
void setUpAnchor(Editor& e, anchors::AnchorRecord record) {
    e.ctx().table.Assign({std::move(record)});
    e.view().ActivateAnchor(0);
    EditState& s = e.ctx().state;
    s.EndSet = true;
    s.MarkSelected = true;
    s.SelectedMark = 1;
    e.ctx().table.AnchorDataSaved = true;
    e.prompts.prompts.clear();
}

double overlap(const Rect& a, const moviegen::Rect& b) {
    const int w = std::min(a.Right, b.right) - std::max(a.Left, b.left);
    const int h = std::min(a.Bottom, b.bottom) - std::max(a.Top, b.top);
    const double common = w > 0 && h > 0 ? double(w) * h : 0.0;
    const double area = double(a.Right - a.Left) * (a.Bottom - a.Top) +
                        double(b.right - b.left) * (b.bottom - b.top) - common;
    return area > 0 ? common / area : 0.0;
}

TEST(AutomaticSetting, RealLibraryFollowsTheObjectOfAMovieShownScaled) {
    // The object runs along a curve, so only a track that stays on it all the way gives
    // rectangles on it between the key frames.
    moviegen::MovieRecipe recipe = scaledRecipe(50);
    recipe.width = 480;
    recipe.height = 360;
    recipe.path = moviegen::PathKind::Curved;
    recipe.speed = 5.0;
    const std::string movie = Files::get().movie("track-480.avi", recipe);
    Editor e;
    ASSERT_TRUE(e.open(movie));
    const anchors::AnchorTable& table = e.ctx().table;
    ASSERT_GT(table.XScale, 1.3);
    ASSERT_GT(table.YScale, 1.3);
    auto display = [&](int frame) {
        const moviegen::Rect r = moviegen::visibleRect(recipe, frame);
        return table.ToDisplay({r.left, r.top, r.right, r.bottom});
    };
    const Rect first = display(0), last = display(49);
    setUpAnchor(e, anchors::MakeAnchorRecord("OBJ1", "object",
                                             {{0, first.Left, first.Top, first.Right, first.Bottom},
                                              {49, last.Left, last.Top, last.Right, last.Bottom}}));

    RunAutomaticSetting(e.ctx(), e.view());

    EXPECT_TRUE(e.prompts.prompts.empty()) << e.prompts.texts().front();
    const anchors::AnchorRecord& a = table[0];
    ASSERT_GT(a.EntryCount(), 2u);
    EXPECT_EQ(a.Entries.front().Frame, 0);
    EXPECT_EQ(a.Entries.back().Frame, 49);
    EXPECT_EQ(a.StartFrame, 0);
    EXPECT_EQ(a.EndFrame, 49);
    EXPECT_FALSE(table.AnchorDataSaved);
    // Every frame, key frame or between two, in movie pixels on the object.
    for (int32_t f = 0; f < 50; ++f) {
        const std::optional<Rect> shown = RectAtFrame(a, f);
        ASSERT_TRUE(shown) << "frame " << f;
        EXPECT_GT(overlap(table.ToMovie(*shown), moviegen::visibleRect(recipe, f)), 0.5)
            << "frame " << f;
    }
    // The picture frames the new key frame of the frame shown.
    EXPECT_TRUE(e.ctx().state.RectShown);
    EXPECT_EQ(e.ctx().state.CurrentRect, a.Entries.front().rect());
}

// ---- the scripted library ----------------------------------------------------------------------

constexpr const char* kScript[] = {"QXM_FAKE_TRACK_INIT", "QXM_FAKE_TRACK_EXEC",
                                   "QXM_FAKE_TRACK_RECORDS", "QXM_FAKE_TRACK_SLEEP_MS",
                                   "QXM_FAKE_TRACK_PROMPT"};

// The stand-in's script and call log, both cleared by reset().
class FakeTracker {
public:
    FakeTracker() : log_(Files::get().path("fake-track.log")) {
        setenv("QXM_FAKE_TRACK_LOG", log_.c_str(), 1);
        reset();
    }
    ~FakeTracker() {
        reset();
        unsetenv("QXM_FAKE_TRACK_LOG");
    }
    void reset() {
        std::remove(log_.c_str());
        for (const char* name : kScript)
            unsetenv(name);
    }
    void set(const char* name, const char* value) {
        if (value) setenv(name, value, 1);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }
    // The calls in short, separated by spaces: Init, Exec, Free (of an array the library handed
    // out), Exit, Error(code).
    std::string calls() const {
        std::string out;
        for (const std::string& l : lines()) {
            const std::string name = l.substr(0, l.find(' '));
            const std::string rest = l.substr(std::min(l.size(), name.size() + 1));
            std::string word = l;
            if (name == "InitSetAuto") word = "Init";
            if (name == "ExecSetAuto") word = rest.starts_with("returns") ? "" : "Exec";
            if (name == "ExitSetAuto") word = "Exit";
            if (name == "FreeSetAutoAnchorData" && rest == "records") word = "Free";
            if (name == "GetSetAutoErrorString") word = "Error(" + rest + ")";
            if (!word.empty()) out += (out.empty() ? "" : " ") + word;
        }
        return out;
    }
    // The first line of a call, with its arguments.
    std::optional<std::string> line(const std::string& call) const {
        for (const std::string& l : lines())
            if (l.starts_with(call + " ")) return l;
        return std::nullopt;
    }
    // ExecSetAuto has been entered and has not returned (it logs a second line then).
    bool executing() const {
        const std::vector<std::string> l = lines();
        return std::count_if(l.begin(), l.end(), [](const std::string& s) {
                   return s.starts_with("ExecSetAuto ");
               }) == 1;
    }

private:
    std::string log_;
};

std::string rectText(const Rect& r) {
    return std::to_string(r.Left) + " " + std::to_string(r.Top) + " " + std::to_string(r.Right) +
           " " + std::to_string(r.Bottom);
}

const std::vector<FrameEntry> kKeyFrames = {
    {5, 20, 20, 60, 50}, {12, 30, 25, 70, 55}, {20, 80, 40, 120, 70}};

anchors::AnchorRecord anchorWith(int keyFrames) {
    std::vector<FrameEntry> entries;
    if (keyFrames == 1) entries = {kKeyFrames[0]};
    if (keyFrames == 2) entries = {kKeyFrames[0], kKeyFrames[2]};
    if (keyFrames == 3) entries = kKeyFrames;
    anchors::AnchorRecord a = anchors::MakeAnchorRecord("CAR1", "car", entries);
    a.StartFrame = 5;
    a.EndFrame = 20;
    return a;
}

// Records in movie frames and movie pixels, for a movie opened directly and through ORIGIN.MOB.
constexpr const char* kRecords = "5 40 30 104 90;12 60 40 124 100;20 80 50 144 110";
constexpr const char* kOriginRecords = "105 40 30 104 90;110 60 40 124 100;120 80 50 144 110";

TEST(AutomaticSetting, CallsArgumentsAndOutcomesWithAScriptedLibrary) {
    FakeTracker fake;
    Editor e({}, QXM_FAKE_TRACK);
    ASSERT_TRUE(e.ctx().TrackingLoaded);
    const std::string movie = scaledMovie(), mob = originMob();
    const char* question = text::autoset::kDeleteQuestion;

    enum Trouble { None, NoMemory, BrokenMob };
    struct Case {
        const char* what;
        bool mob;
        int keyFrames;
        Answer answer; // to the question, when it is asked
        const char* init;
        const char* exec;
        const char* records;
        Trouble trouble;
        const char* calls;
        const char* message; // the one message shown, if any
        bool replaced;
    };
    const Case cases[] = {
        {"two key frames", false, 2, Answer::Yes, nullptr, nullptr, kRecords, None,
         "Init Exec Free Exit", nullptr, true},
        {"origin 100 of a .MOB", true, 2, Answer::Yes, nullptr, "1", kOriginRecords, None,
         "Init Exec Free Exit", nullptr, true},
        {"three key frames, No", false, 3, Answer::No, nullptr, nullptr, kRecords, None, "",
         question, false},
        {"three key frames, Yes", true, 3, Answer::Yes, nullptr, "2", kOriginRecords, None,
         "Init Exec Free Exit", question, true},
        {"one key frame", false, 1, Answer::Yes, nullptr, nullptr, kRecords, None, "", nullptr,
         false},
        {"InitSetAuto fails", false, 2, Answer::Yes, "-101", nullptr, kRecords, None,
         "Init Error(-101)", "fake message -101", false},
        {"ExecSetAuto fails", false, 2, Answer::Yes, nullptr, "-301", nullptr, None,
         "Init Exec Error(-301) Exit", "fake message -301", false},
        {"ExecSetAuto fails handing out records", false, 2, Answer::Yes, nullptr, "-601", kRecords,
         None, "Init Exec Error(-601) Free Exit", "fake message -601", false},
        {"no memory for the result", false, 2, Answer::Yes, nullptr, nullptr, kRecords, NoMemory,
         "Init Exec Free Exit", anchors::text::kNoMemory, false},
        {"success without records", false, 2, Answer::Yes, nullptr, nullptr, nullptr, None,
         "Init Exec Exit", nullptr, false},
        {"unreadable .MOB", true, 2, Answer::Yes, nullptr, nullptr, kOriginRecords, BrokenMob, "",
         anchors::text::kBadStartFrame, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string& document = c.mob ? mob : movie;
        if (e.ctx().doc.PathName != document) {
            e.ctx().table.AnchorDataSaved = true;
            ASSERT_TRUE(e.open(document));
        }
        anchors::AnchorTable& table = e.ctx().table;
        ASSERT_GT(table.XScale, 1.05); // rectangles differ between the two kinds of pixels
        setUpAnchor(e, anchorWith(c.keyFrames));
        const anchors::AnchorRecord before = table[0];
        fake.reset();
        fake.set("QXM_FAKE_TRACK_INIT", c.init);
        fake.set("QXM_FAKE_TRACK_EXEC", c.exec);
        fake.set("QXM_FAKE_TRACK_RECORDS", c.records);
        if (c.keyFrames > 2) e.prompts.queue(c.answer);
        if (c.trouble == BrokenMob)
            Files::get().write("ORIGIN.MOB",
                               "MovieFile=auto-320.avi\nStartFrame=x\nEndFrame=129\n");
        {
            std::optional<anchors::ScopedAllocFailure> noMemory;
            if (c.trouble == NoMemory) noMemory.emplace();
            RunAutomaticSetting(e.ctx(), e.view());
        }
        if (c.trouble == BrokenMob) originMob();

        EXPECT_EQ(fake.calls(), c.calls);
        const std::vector<std::string> messages =
            c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{};
        EXPECT_EQ(e.prompts.texts(), messages);
        for (const Prompt& p : e.prompts.prompts) {
            const bool asking = p.text == question;
            EXPECT_EQ(p.caption, asking ? text::autoset::kDeleteCaption : text::kProgramTitle);
            EXPECT_EQ(p.buttons, asking ? Buttons::YesNo : Buttons::Ok);
            if (asking) {
                EXPECT_EQ(p.icon, Icon::Question);
            }
        }
        const int32_t origin = c.mob ? 100 : 0;
        if (const auto init = fake.line("InitSetAuto")) {
            EXPECT_EQ(*init, "InitSetAuto " + Files::get().path("auto-320.avi") + " null");
        }
        if (const auto exec = fake.line("ExecSetAuto")) {
            // Movie frames and movie pixels of the first and last key frames.
            EXPECT_EQ(*exec, "ExecSetAuto " + std::to_string(5 + origin) + " " +
                                 std::to_string(20 + origin) + " " +
                                 rectText(table.ToMovie(kKeyFrames[0].rect())) + " " +
                                 rectText(table.ToMovie(kKeyFrames[2].rect())));
        }
        // The selected mark is dropped once the library works.
        EXPECT_EQ(e.ctx().state.MarkSelected, !fake.line("ExecSetAuto").has_value());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);

        const anchors::AnchorRecord& after = table[0];
        EXPECT_EQ(table.CurrentAnchor, 0);
        EXPECT_EQ(table.AnchorDataSaved, !c.replaced);
        if (!c.replaced) {
            EXPECT_EQ(after, before);
            continue;
        }
        // One key frame per record: frames of the working range, display pixels.
        const Rect movieRects[] = {{40, 30, 104, 90}, {60, 40, 124, 100}, {80, 50, 144, 110}};
        const int32_t frames[] = {5, origin ? 10 : 12, 20};
        ASSERT_EQ(after.EntryCount(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(after.Entries[i].Frame, frames[i]);
            EXPECT_EQ(after.Entries[i].rect(), table.ToDisplay(movieRects[i]));
            EXPECT_NE(after.Entries[i].rect(), movieRects[i]);
        }
        EXPECT_EQ(after.StartFrame, 5);
        EXPECT_EQ(after.EndFrame, 20);
        // The frame shown (the Starting Frame) frames its new rectangle.
        EXPECT_EQ(e.frameNow(), 5);
        EXPECT_TRUE(e.ctx().state.RectShown);
        EXPECT_EQ(e.ctx().state.CurrentRect, after.Entries[0].rect());
    }
    e.ctx().table.AnchorDataSaved = true;
}

TEST(AutomaticSetting, ALibraryLackingAnEntryPointIsNotCalled) {
    FakeTracker fake;
    Editor e({}, QXM_FAKE_TRACK_PARTIAL);
    ASSERT_TRUE(e.ctx().TrackingLoaded);
    ASSERT_TRUE(e.open(scaledMovie()));
    setUpAnchor(e, anchorWith(3));
    const anchors::AnchorRecord before = e.ctx().table[0];
    fake.set("QXM_FAKE_TRACK_RECORDS", kRecords);
    RunAutomaticSetting(e.ctx(), e.view());
    EXPECT_TRUE(fake.lines().empty());
    EXPECT_TRUE(e.prompts.prompts.empty()); // not even the question
    EXPECT_EQ(e.ctx().table[0], before);
    EXPECT_TRUE(e.ctx().table.AnchorDataSaved);
    EXPECT_TRUE(e.ctx().state.MarkSelected);
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Message boxes of Qt for the scope, as the program has them.
class QtPrompts {
public:
    QtPrompts() : previous_(setPromptHandler(&handler_)) {}
    ~QtPrompts() { setPromptHandler(previous_); }

private:
    ui::QtPromptHandler handler_;
    PromptHandler* previous_;
};

// Input that reaches the Next Frame command: Ctrl+Right posted to the main window, and a
// click posted to the right arrow of the frame scroll bar (the window system's modality does
// not hold back either of them; posted events belong to the event queue, which deletes them).
void postNextFrameInput(Editor& e) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
        QCoreApplication::postEvent(&e.frame(),
                                    new QKeyEvent(type, Qt::Key_Right, Qt::ControlModifier));
    QScrollBar* bar = e.view().frameScrollBar();
    const QPointF arrow(bar->width() - 3, bar->height() / 2);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(bar, new QMouseEvent(type, arrow, bar->mapToGlobal(arrow),
                                                         Qt::LeftButton, Qt::LeftButton,
                                                         Qt::NoModifier));
}

TEST(AutomaticSetting, WhileTheLibraryWorksTheEditorPaintsAndTakesNoInput) {
    FakeTracker fake;
    Editor e({}, QXM_FAKE_TRACK);
    const std::string movie = scaledMovie(), other = Files::get().movie("other.avi");
    ASSERT_TRUE(e.open(movie));
    setUpAnchor(e, anchorWith(2));
    // Outside a run, the posted input moves two frames on.
    e.frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e.frame()));
    e.frame().UpdateCommandUI();
    postNextFrameInput(e);
    QCoreApplication::processEvents();
    ASSERT_EQ(e.frameNow(), 7);

    fake.set("QXM_FAKE_TRACK_RECORDS", kRecords);
    fake.set("QXM_FAKE_TRACK_SLEEP_MS", "1000");
    fake.set("QXM_FAKE_TRACK_PROMPT", "Complete Automatic Setting; Time(ms)=1000");
    std::optional<QtPrompts> qtPrompts(std::in_place);
    PaintCounter counter;
    e.view().installEventFilter(&counter);

    struct Seen {
        int ticks = 0;
        int paintsBefore = -1;
        bool waitShown = false;
        bool waitCursor = false;
        QString box;
        bool boxOverWait = false;
        bool linkAcknowledged = false;
        bool openedDuringRun = false;
    } seen;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!fake.executing()) return;
        ++seen.ticks;
        if (seen.paintsBefore < 0) {
            seen.paintsBefore = counter.paints;
            postNextFrameInput(e);
            // A second start meanwhile does not reach the library.
            RunAutomaticSetting(e.ctx(), e.view());
            // Another program asks over the link for a file to be opened.
            dde::DdeClient link;
            seen.linkAcknowledged = link.connect("ZIZAZI", "MESSAGE") &&
                                    link.execute(QByteArray::fromStdString("\"" + other + "\",,0"));
        }
        seen.openedDuringRun = seen.openedDuringRun || e.ctx().doc.PathName != movie;
        e.view().update();
        const QCursor* cursor = QApplication::overrideCursor();
        seen.waitCursor = seen.waitCursor || (cursor && cursor->shape() == Qt::WaitCursor);
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.box = box->text();
            seen.boxOverWait =
                box->parentWidget() && box->parentWidget()->objectName() == "AutomaticSettingWait";
            // The author's click reaches the library's message box.
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        } else if (modal && modal->objectName() == "AutomaticSettingWait" && modal->isVisible()) {
            seen.waitShown = true;
        }
    });
    timer.start();
    RunAutomaticSetting(e.ctx(), e.view());
    timer.stop();
    EXPECT_EQ(e.frameNow(), 7); // the input posted during the run was dropped
    ASSERT_EQ(e.ctx().table.size(), 1u);
    EXPECT_EQ(e.ctx().table[0].EntryCount(), 3u);
    EXPECT_EQ(fake.calls(), "Init Exec Free Exit");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_GE(seen.ticks, 5);
    EXPECT_GT(counter.paints - seen.paintsBefore, 0);
    EXPECT_TRUE(seen.waitShown);
    EXPECT_TRUE(seen.waitCursor);
    EXPECT_EQ(seen.box, "Complete Automatic Setting; Time(ms)=1000");
    EXPECT_TRUE(seen.boxOverWait);

    // The link's request waited for the end and is served now (the new key frames are not
    // saved).
    qtPrompts.reset();
    e.prompts.queue(Answer::No);
    EXPECT_TRUE(QTest::qWaitFor([&] { return e.ctx().doc.PathName == other; }, 10000));
    EXPECT_TRUE(seen.linkAcknowledged);
    EXPECT_FALSE(seen.openedDuringRun);
    EXPECT_EQ(e.prompts.texts(), std::vector<std::string>{text::kSaveQuestion});
}

} // namespace
} // namespace qxm::editor
