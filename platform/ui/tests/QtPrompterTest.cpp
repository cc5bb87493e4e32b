// The Qt prompter: message boxes and the open-file dialog as built, and shown through the
// process-wide handler (from the application's thread and from another thread).
#include "platform/ui/QtPrompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace qxm;
using namespace qxm::ui;

namespace {

std::unique_ptr<QApplication> g_app;

class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ui_tests";
        static char* argv[] = {name, nullptr};
        g_app = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationDisplayName("Prompter Test");
    }
    void TearDown() override { g_app.reset(); }
};
[[maybe_unused]] ::testing::Environment* const g_env =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

bool waitUntil(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// Acts on the next modal dialog of type D once it shows, and again on every tick while that
// dialog stays open (a file dialog still reading its folder may not take a selection at once).
template <class D> void whenShown(std::function<void(D&)> act) {
    struct State {
        QPointer<D> dialog;
        bool seen = false;
    };
    auto state = std::make_shared<State>();
    auto* timer = new QTimer(qApp); // parent-owned; deletes itself once its dialog closed
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, state] {
        if (state->seen) {
            if (state->dialog && state->dialog->isVisible()) {
                act(*state->dialog);
            } else {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            state->seen = true;
            state->dialog = d;
            act(*d);
        }
    });
    timer->start(10);
}

// Installs the Qt handler for one test.
class QtHandlerScope {
public:
    QtHandlerScope() : previous_(setPromptHandler(&handler_)) {}
    ~QtHandlerScope() { setPromptHandler(previous_); }

private:
    QtPromptHandler handler_;
    PromptHandler* previous_;
};

} // namespace

TEST(QtPrompter, MessageBoxShowsThePrompt) {
    auto box = makeMessageBox({"Line <b>1</b>", "Caption", Buttons::YesNoCancel, Icon::Question});
    EXPECT_EQ(box->windowTitle(), "Caption");
    EXPECT_EQ(box->text(), "Line <b>1</b>");
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));

    const struct {
        Buttons buttons;
        QMessageBox::StandardButtons standard;
        QMessageBox::StandardButton first;
        Icon icon;
        QMessageBox::Icon qtIcon;
    } cases[] = {
        {Buttons::Ok, QMessageBox::Ok, QMessageBox::Ok, Icon::None, QMessageBox::NoIcon},
        {Buttons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok,
         Icon::Information, QMessageBox::Information},
        {Buttons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, Icon::Warning,
         QMessageBox::Warning},
        {Buttons::RetryCancel, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry,
         Icon::Error, QMessageBox::Critical},
        {Buttons::AbortRetryIgnore, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
         QMessageBox::Abort, Icon::Question, QMessageBox::Question},
    };
    for (const auto& c : cases) {
        auto b = makeMessageBox({"t", "", c.buttons, c.icon});
        EXPECT_EQ(b->standardButtons(), c.standard);
        EXPECT_EQ(b->defaultButton(), b->button(c.first));
        EXPECT_EQ(b->icon(), c.qtIcon);
        EXPECT_EQ(b->windowTitle(), "Prompter Test"); // no caption: the application's name
    }
}

TEST(QtPrompter, ButtonsMapBackToAnswers) {
    EXPECT_EQ(answerForButton(QMessageBox::Ok, Buttons::OkCancel), Answer::Ok);
    EXPECT_EQ(answerForButton(QMessageBox::Cancel, Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(answerForButton(QMessageBox::Yes, Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(answerForButton(QMessageBox::No, Buttons::YesNo), Answer::No);
    EXPECT_EQ(answerForButton(QMessageBox::Retry, Buttons::RetryCancel), Answer::Retry);
    EXPECT_EQ(answerForButton(QMessageBox::Abort, Buttons::AbortRetryIgnore), Answer::Abort);
    EXPECT_EQ(answerForButton(QMessageBox::Ignore, Buttons::AbortRetryIgnore), Answer::Ignore);
    // Closed without a button.
    EXPECT_EQ(answerForButton(-1, Buttons::Ok), Answer::Ok);
    EXPECT_EQ(answerForButton(-1, Buttons::YesNoCancel), Answer::Cancel);
    EXPECT_EQ(answerForButton(-1, Buttons::YesNo), Answer::No);
    EXPECT_EQ(answerForButton(-1, Buttons::AbortRetryIgnore), Answer::Abort);
}

TEST(QtPrompter, PromptShowsABoxAndReturnsTheClickedButton) {
    QtHandlerScope scope;
    QString seen;
    whenShown<QMessageBox>([&](QMessageBox& box) {
        seen = box.windowTitle() + "|" + box.text();
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompt("Save changes?", "Editor", Buttons::YesNoCancel, Icon::Question), Answer::No);
    EXPECT_EQ(seen, "Editor|Save changes?");

    // Escape on a box with Cancel.
    whenShown<QMessageBox>([](QMessageBox& box) { box.reject(); });
    EXPECT_EQ(prompt("Retry?", "Editor", Buttons::RetryCancel), Answer::Cancel);
}

TEST(QtPrompter, PromptFromAnotherThreadIsShownInTheApplicationThread) {
    QtHandlerScope scope;
    QThread* shownIn = nullptr;
    whenShown<QMessageBox>([&](QMessageBox& box) {
        shownIn = QThread::currentThread();
        box.button(QMessageBox::Retry)->click();
    });
    std::atomic<bool> done{false};
    Answer answer = Answer::Cancel;
    std::thread worker([&] {
        answer = prompt("Tracking failed", "Tracker", Buttons::RetryCancel, Icon::Warning);
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(answer, Answer::Retry);
    EXPECT_EQ(shownIn, qApp->thread());
}

TEST(QtPrompter, OpenFileDialogFollowsTheRequest) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString moviePath = dir.filePath("clip.avi");
    {
        QFile f(moviePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    FileRequest r{"Movie File Select", "Movies|*.avi;*.mpg|All files|*||", 2,
                  moviePath.toStdString(), true};
    auto dialog = makeOpenFileDialog(r);
    EXPECT_EQ(dialog->windowTitle(), "Movie File Select");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"Movies (*.avi *.mpg)", "All files (*)"}));
    EXPECT_EQ(dialog->selectedNameFilter(), "All files (*)");
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_EQ(QFileInfo(dialog->selectedFiles().first()).fileName(), "clip.avi");

    // The first filter of the string table form: the dialog filters by its patterns.
    r.filter = "Movie files(*.avi *.mpg *.mov)|*.avi;*.mpg;*.mov||";
    r.filterIndex = 1;
    r.mustExist = false;
    r.initialPath = dir.path().toStdString();
    dialog = makeOpenFileDialog(r);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->selectedNameFilter(), "Movie files(*.avi *.mpg *.mov)");
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), (QStringList{"*.avi", "*.mpg", "*.mov"}));
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
}

TEST(QtPrompter, ChooseOpenFileReturnsTheChosenPathOrNothing) {
    QtHandlerScope scope;
    QTemporaryDir dir;
    const QString path = dir.filePath("pointer.cur");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    FileRequest r{"Cursor File Select", "Cursor files(*.cur *.ani)|*.cur;*.ani||", 1,
                  dir.path().toStdString(), true};
    QString title;
    whenShown<QFileDialog>([&](QFileDialog& d) {
        title = d.windowTitle();
        // Typed as a user would: the dialog's folder listing may still be loading.
        if (auto* edit = d.findChild<QLineEdit*>("fileNameEdit")) edit->setText(path);
        static_cast<QDialog&>(d).accept(); // the file dialog's own accept checks the file
    });
    const std::optional<std::string> chosen = chooseOpenFile(r);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).canonicalFilePath(),
              QFileInfo(path).canonicalFilePath());
    EXPECT_EQ(title, "Cursor File Select");

    whenShown<QFileDialog>([](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(chooseOpenFile(r), std::nullopt);
}
