// The Qt prompter: message boxes and the open-file dialog as built and as shown through the
// process-wide handler, from the application's thread and from another one.
#include "platform/ui/QtPrompter.h"
#include "TestApplication.h"

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

// Acts on the next modal dialog of type D once it shows, and again on every tick while that
// dialog stays open (a file dialog still reading its folder may not take a choice at once).
template <class D> void whenShown(std::function<void(D&)> act) {
    struct Seen {
        QPointer<D> dialog;
        bool once = false;
    };
    auto seen = std::make_shared<Seen>();
    auto* timer = new QTimer(qApp); // parent-owned; deletes itself once its dialog closed
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, seen] {
        if (!seen->once) {
            seen->dialog = qobject_cast<D*>(QApplication::activeModalWidget());
            seen->once = bool(seen->dialog);
        }
        if (seen->dialog && seen->dialog->isVisible()) return act(*seen->dialog);
        if (!seen->once) return;
        timer->stop();
        timer->deleteLater();
    });
    timer->start(10);
}

class QtPrompterTest : public ::testing::Test {
protected:
    QtPrompterTest() : previous_(setPromptHandler(&handler_)) {}
    ~QtPrompterTest() override { setPromptHandler(previous_); }
    QString makeFile(const char* name) {
        QFile f(dir_.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return f.fileName();
    }
    static QApplication& application() {
        QApplication& app = testApplication();
        QApplication::setApplicationDisplayName("Prompter Test");
        return app;
    }
    QApplication& app_ = application(); // before the handler
    QtPromptHandler handler_;
    PromptHandler* previous_;
    QTemporaryDir dir_;
};

} // namespace

TEST_F(QtPrompterTest, MessageBoxesShowThePromptAndAnswerTheClickedButton) {
    auto box = makeMessageBox({"Line <b>1</b>", "Caption", Buttons::RetryCancel, Icon::Error});
    EXPECT_EQ(box->windowTitle(), "Caption");
    EXPECT_EQ(box->text(), "Line <b>1</b>");
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Retry | QMessageBox::Cancel);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Retry));
    EXPECT_EQ(makeMessageBox({"t", "", Buttons::Ok})->windowTitle(), "Prompter Test");

    QString seen;
    whenShown<QMessageBox>([&](QMessageBox& b) {
        seen = b.windowTitle() + "|" + b.text();
        b.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompt("Save changes?", "Editor", Buttons::YesNoCancel, Icon::Question), Answer::No);
    EXPECT_EQ(seen, "Editor|Save changes?");
    // Closed without a button.
    whenShown<QMessageBox>([](QMessageBox& b) { b.reject(); });
    EXPECT_EQ(prompt("Retry?", "Editor", Buttons::RetryCancel), Answer::Cancel);
    EXPECT_EQ(answerForButton(-1, Buttons::YesNo), Answer::No);
    EXPECT_EQ(answerForButton(-1, Buttons::Ok), Answer::Ok);
}

TEST_F(QtPrompterTest, APromptFromAnotherThreadIsShownInTheApplicationThread) {
    QThread* shownIn = nullptr;
    whenShown<QMessageBox>([&](QMessageBox& b) {
        shownIn = QThread::currentThread();
        b.button(QMessageBox::Retry)->click();
    });
    std::atomic<bool> done{false};
    Answer answer = Answer::Cancel;
    std::thread worker([&] {
        answer = prompt("Tracking failed", "Tracker", Buttons::RetryCancel, Icon::Warning);
        done = true;
    });
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_EQ(answer, Answer::Retry);
    EXPECT_EQ(shownIn, qApp->thread());
}

TEST_F(QtPrompterTest, TheOpenFileDialogFollowsTheRequest) {
    const QString movie = makeFile("clip.avi");
    FileRequest r{"Movie File Select", "Movies|*.avi;*.mpg|All files|*||", 2, movie.toStdString(),
                  true};
    auto dialog = makeOpenFileDialog(r);
    EXPECT_EQ(dialog->windowTitle(), "Movie File Select");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"Movies (*.avi *.mpg)", "All files (*)"}));
    EXPECT_EQ(dialog->selectedNameFilter(), "All files (*)");
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir_.path()).canonicalPath());
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_EQ(QFileInfo(dialog->selectedFiles().first()).fileName(), "clip.avi");

    // The string-table form: the dialog filters by its patterns, any name may be typed.
    r = {"", "Movie files(*.avi *.mpg *.mov)|*.avi;*.mpg;*.mov||", 1, dir_.path().toStdString(),
         false};
    dialog = makeOpenFileDialog(r);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->selectedNameFilter(), "Movie files(*.avi *.mpg *.mov)");
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), (QStringList{"*.avi", "*.mpg", "*.mov"}));
}

TEST_F(QtPrompterTest, ChooseOpenFileReturnsTheChosenPathOrNothing) {
    const QString path = makeFile("pointer.cur");
    FileRequest r{"Cursor File Select", "Cursor files(*.cur *.ani)|*.cur;*.ani||", 1,
                  dir_.path().toStdString(), true};
    whenShown<QFileDialog>([&](QFileDialog& d) {
        if (auto* edit = d.findChild<QLineEdit*>("fileNameEdit")) edit->setText(path);
        static_cast<QDialog&>(d).accept(); // the file dialog's own accept checks the file
    });
    const std::optional<std::string> chosen = chooseOpenFile(r);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(QString::fromStdString(*chosen)).canonicalFilePath(),
              QFileInfo(path).canonicalFilePath());

    whenShown<QFileDialog>([](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(chooseOpenFile(r), std::nullopt);
}
