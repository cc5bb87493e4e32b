// The property frame with small pages of its own: each page edits one text property of a test
// object through IDispatch, following the page contract (dirty on edit, the object's error
// shown on a refused apply).
#include "platform/hosting/PropertyFrame.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

#include "platform/component/Dispatch.h"
#include "platform/prompter/Prompter.h"

using namespace qxm;

namespace {

std::unique_ptr<QApplication> g_app;

class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "property_frame_tests";
        static char* argv[] = {name, nullptr};
        g_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { g_app.reset(); }
};
[[maybe_unused]] ::testing::Environment* const g_env =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

constexpr Guid kIidTest = Guid::literal("{0D6E1F3A-2B4C-4D5E-8F60-718293A4B5C6}");
constexpr Guid kPageA = Guid::literal("{A0000000-0000-0000-0000-000000000001}");
constexpr Guid kPageB = Guid::literal("{B0000000-0000-0000-0000-000000000002}");
constexpr Guid kMissing = Guid::literal("{C0000000-0000-0000-0000-000000000003}");

// An object with two text properties; "bad" is refused with the control error.
class TestObject : public DispatchObject<> {
public:
    TestObject() : DispatchObject({"_DTest", kIidTest, InterfaceKind::DispInterface}) {
        for (auto [id, name] : {std::pair{1, "Title"}, std::pair{2, "Comment"}})
            declareProperty(
                {.id = id, .name = name, .type = {VarType::BStr}},
                [this, n = std::string(name)](Args) { return Variant(values[n]); },
                [this, n = std::string(name)](Args, const Variant& v) {
                    if (v.asString() == "bad")
                        throw ComError(CTL_E_INVALIDPROPERTYVALUE, "Invalid Property Value", 213);
                    values[n] = v.asString();
                    ++puts;
                });
    }
    std::map<std::string, std::string> values;
    int puts = 0;
};

// A page with one line edit for one property.
class TextPage : public Object<IPropertyPage> {
public:
    TextPage(std::string title, QSize size, std::string property)
        : title_(std::move(title)), size_(size), property_(std::move(property)) {}

    HRESULT setPageSite(IPropertyPageSite* site) override {
        site_ = ComPtr<IPropertyPageSite>(site);
        return S_OK;
    }
    HRESULT getPageInfo(PropertyPageInfo& info) override {
        info.title = title_;
        info.size = size_;
        return S_OK;
    }
    HRESULT setObjects(std::span<IUnknown* const> objects) override {
        objects_.clear();
        for (IUnknown* o : objects)
            objects_.push_back(ComPtr<IUnknown>(o).as<IDispatch>());
        return S_OK;
    }
    HRESULT activate(QWidget* parent) override {
        if (edit_) return E_UNEXPECTED;
        edit_ = new QLineEdit(parent);
        edit_->setFixedSize(size_);
        Variant v;
        if (!objects_.empty() && succeeded(dispGet(*objects_[0], property_, v)))
            edit_->setText(QString::fromStdString(v.asString()));
        QObject::connect(edit_, &QLineEdit::textEdited, [this] {
            dirty_ = true;
            if (site_) site_->onStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
        });
        ++activations;
        return S_OK;
    }
    QWidget* widget() override { return edit_; }
    HRESULT deactivate() override {
        delete edit_.data();
        dirty_ = false;
        return S_OK;
    }
    HRESULT isPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
    HRESULT apply() override {
        for (auto& o : objects_) {
            ExcepInfo e;
            const HRESULT hr = dispPut(*o, property_, Variant(edit_->text().toStdString()), &e);
            if (failed(hr)) {
                prompt(e.description, title_);
                return hr;
            }
        }
        dirty_ = false;
        return S_OK;
    }

    QLineEdit* edit() const { return edit_; }
    std::size_t objectCount() const { return objects_.size(); }
    bool hasSite() const { return bool(site_); }
    int activations = 0;

private:
    std::string title_;
    QSize size_;
    std::string property_;
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IDispatch>> objects_;
    QPointer<QLineEdit> edit_;
    bool dirty_ = false;
};

class PropertyFrameTest : public ::testing::Test {
protected:
    PropertyFrameTest() {
        creator_ = [this](const Guid& clsid, ComPtr<IPropertyPage>& out) -> HRESULT {
            ComPtr<TextPage> page;
            if (clsid == kPageA)
                page = makeObject<TextPage>("First", QSize(200, 100), "Title");
            else if (clsid == kPageB)
                page = makeObject<TextPage>("Second", QSize(320, 60), "Comment");
            else
                return REGDB_E_CLASSNOTREG;
            made_.push_back(page);
            out = page;
            return S_OK;
        };
    }
    std::unique_ptr<PropertyFrame> makeFrame(std::vector<Guid> pages = {kPageA, kMissing, kPageB}) {
        IUnknown* const objects[] = {static_cast<IDispatch*>(object_.get())};
        auto frame =
            std::make_unique<PropertyFrame>(nullptr, "Test Properties", objects, pages, creator_);
        frame->show();
        return frame;
    }
    static QPushButton* button(PropertyFrame& f, QDialogButtonBox::StandardButton b) {
        return f.buttons()->button(b);
    }
    static void type(TextPage& page, const char* text) {
        page.edit()->selectAll();
        QTest::keyClicks(page.edit(), text);
    }

    ComPtr<TestObject> object_ = makeObject<TestObject>();
    std::vector<ComPtr<TextPage>> made_;
    PageCreator creator_;
    ScriptedPrompter prompter_;
};

} // namespace

TEST_F(PropertyFrameTest, OneTabAPageWithObjectsAndSiteSizedToTheLargest) {
    object_->values["Title"] = "Intro";
    auto frame = makeFrame();
    EXPECT_EQ(frame->windowTitle(), "Test Properties");
    ASSERT_EQ(frame->pageCount(), 2u); // the missing class is left out
    ASSERT_EQ(frame->tabs()->count(), 2);
    EXPECT_EQ(frame->tabs()->tabText(0), "First");
    EXPECT_EQ(frame->tabs()->tabText(1), "Second");
    for (const auto& page : made_) {
        EXPECT_EQ(page->objectCount(), 1u);
        EXPECT_TRUE(page->hasSite());
        EXPECT_EQ(page->activations, 1);
        ASSERT_TRUE(page->widget());
    }
    EXPECT_EQ(made_[0]->edit()->text(), "Intro"); // read when activated
    EXPECT_EQ(frame->page(0), made_[0].get());
    // Both tabs have room for the widest and for the tallest page.
    for (int i = 0; i < 2; ++i) {
        const QSize area = frame->tabs()->widget(i)->minimumSize();
        EXPECT_GE(area.width(), 320);
        EXPECT_GE(area.height(), 100);
    }
    EXPECT_GE(frame->width(), 320);
    EXPECT_GE(frame->height(), 100 + frame->buttons()->height());
    EXPECT_EQ(made_[1]->widget()->size(), QSize(320, 60));
}

TEST_F(PropertyFrameTest, ApplyFollowsTheCurrentPageAndAppliesTheDirtyPages) {
    auto frame = makeFrame();
    QPushButton* apply = button(*frame, QDialogButtonBox::Apply);
    ASSERT_TRUE(apply);
    EXPECT_FALSE(apply->isEnabled());

    type(*made_[0], "Opening");
    EXPECT_TRUE(apply->isEnabled());
    frame->tabs()->setCurrentIndex(1);
    EXPECT_FALSE(apply->isEnabled()); // the second page is clean
    frame->tabs()->setCurrentIndex(0);
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_EQ(object_->puts, 0); // nothing before Apply

    apply->click();
    EXPECT_EQ(object_->values["Title"], "Opening");
    EXPECT_EQ(made_[0]->isPageDirty(), S_FALSE);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_TRUE(frame->isVisible()); // Apply does not close
    EXPECT_TRUE(made_[0]->widget());
}

TEST_F(PropertyFrameTest, OkAppliesEveryDirtyPageClosesAndLetsThePagesGo) {
    auto frame = makeFrame();
    type(*made_[0], "T");
    frame->tabs()->setCurrentIndex(1);
    type(*made_[1], "C");
    button(*frame, QDialogButtonBox::Ok)->click();
    EXPECT_EQ(object_->values["Title"], "T");
    EXPECT_EQ(object_->values["Comment"], "C");
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(frame->result(), QDialog::Accepted);
    for (const auto& page : made_) {
        EXPECT_EQ(page->widget(), nullptr);
        EXPECT_EQ(page->objectCount(), 0u);
        EXPECT_FALSE(page->hasSite());
    }
}

TEST_F(PropertyFrameTest, CancelClosesWithoutApplying) {
    auto frame = makeFrame();
    type(*made_[0], "Unwanted");
    button(*frame, QDialogButtonBox::Cancel)->click();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(frame->result(), QDialog::Rejected);
    EXPECT_EQ(object_->puts, 0);
    EXPECT_TRUE(object_->values["Title"].empty());
    EXPECT_EQ(made_[0]->widget(), nullptr);
    EXPECT_EQ(made_[0]->objectCount(), 0u);
}

TEST_F(PropertyFrameTest, ARefusedValueKeepsTheFrameOpenOnThatPage) {
    auto frame = makeFrame();
    type(*made_[0], "Fine");
    frame->tabs()->setCurrentIndex(1);
    type(*made_[1], "bad");
    frame->tabs()->setCurrentIndex(0);

    button(*frame, QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->tabs()->currentIndex(), 1); // the refusing page is shown
    EXPECT_EQ(object_->values["Title"], "Fine"); // the page before it was applied
    ASSERT_EQ(prompter_.prompts.size(), 1u);
    EXPECT_EQ(prompter_.prompts[0].text, "Invalid Property Value");
    EXPECT_EQ(prompter_.prompts[0].caption, "Second");
    EXPECT_TRUE(button(*frame, QDialogButtonBox::Apply)->isEnabled());
    EXPECT_TRUE(made_[1]->widget());

    type(*made_[1], "good");
    button(*frame, QDialogButtonBox::Ok)->click();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(object_->values["Comment"], "good");
}

TEST_F(PropertyFrameTest, DestroyingTheFrameLetsThePagesGo) {
    makeFrame().reset();
    ASSERT_EQ(made_.size(), 2u);
    for (const auto& page : made_) {
        EXPECT_EQ(page->widget(), nullptr);
        EXPECT_EQ(page->objectCount(), 0u);
        EXPECT_FALSE(page->hasSite());
    }
}

TEST_F(PropertyFrameTest, ShowPropertyFrameRunsModallyOrFailsWithoutPages) {
    IUnknown* const objects[] = {static_cast<IDispatch*>(object_.get())};
    const Guid none[] = {kMissing};
    EXPECT_EQ(showPropertyFrame(nullptr, "X", objects, none, creator_), E_FAIL);

    const Guid pages[] = {kPageA};
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* frame = qobject_cast<PropertyFrame*>(QApplication::activeModalWidget());
        ASSERT_TRUE(frame);
        shown = frame->windowTitle();
        auto* page = static_cast<TextPage*>(frame->page(0));
        type(*page, "Modal");
        frame->buttons()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(showPropertyFrame(nullptr, "Modal Properties", objects, pages, creator_), S_OK);
    EXPECT_EQ(shown, "Modal Properties");
    EXPECT_EQ(object_->values["Title"], "Modal");
    // The registry knows no such page class.
    ComPtr<IPropertyPage> page;
    EXPECT_TRUE(failed(createPageFromRegistry(kMissing, page)));
    EXPECT_FALSE(page);
}
