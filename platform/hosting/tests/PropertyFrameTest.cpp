// The property frame with small pages of its own: each page edits one text property of a test
// object through IDispatch and follows the page contract (dirty on edit, the object's error
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

#include "TestApplication.h"
#include "platform/component/Dispatch.h"
#include "platform/prompter/Prompter.h"

using namespace qxm;

namespace {

constexpr Guid kPageA = Guid::literal("{A0000000-0000-0000-0000-000000000001}");
constexpr Guid kPageB = Guid::literal("{B0000000-0000-0000-0000-000000000002}");
constexpr Guid kMissing = Guid::literal("{C0000000-0000-0000-0000-000000000003}");

// Two text properties, Title and Comment; the value "bad" is refused.
class TestObject : public DispatchObject<> {
public:
    TestObject() : DispatchObject({"_DTest", kMissing, InterfaceKind::DispInterface}) {
        for (auto [id, name] : {std::pair{1, "Title"}, std::pair{2, "Comment"}})
            declareProperty(
                {.id = id, .name = name, .type = {VarType::BStr}},
                [this, n = std::string(name)](Args) { return Variant(values[n]); },
                [this, n = std::string(name)](Args, const Variant& v) {
                    if (v.asString() == "bad")
                        throw ComError(CTL_E_INVALIDPROPERTYVALUE, "Invalid Property Value", 213);
                    values[n] = v.asString();
                });
    }
    std::map<std::string, std::string> values;
};

// A page with one line edit for one property of the first object.
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
        object_ = objects.empty() ? nullptr : ComPtr<IUnknown>(objects[0]).as<IDispatch>();
        return S_OK;
    }
    HRESULT activate(QWidget* parent) override {
        edit_ = new QLineEdit(parent);
        edit_->setFixedSize(size_);
        Variant v;
        if (object_ && succeeded(dispGet(*object_, property_, v)))
            edit_->setText(QString::fromStdString(v.asString()));
        QObject::connect(edit_, &QLineEdit::textEdited, [this] {
            dirty_ = true;
            site_->onStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
        });
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
        ExcepInfo e;
        const HRESULT hr = dispPut(*object_, property_, Variant(edit_->text().toStdString()), &e);
        if (failed(hr)) prompt(e.description, title_);
        dirty_ = failed(hr);
        return hr;
    }
    void type(const char* text) {
        edit_->selectAll();
        QTest::keyClicks(edit_, text);
    }
    bool released() const { return !edit_ && !object_ && !site_; }

private:
    std::string title_;
    QSize size_;
    std::string property_;
    ComPtr<IPropertyPageSite> site_;
    ComPtr<IDispatch> object_;
    QPointer<QLineEdit> edit_;
    bool dirty_ = false;
};

class PropertyFrameTest : public ::testing::Test {
protected:
    void SetUp() override { testApplication(); }
    HRESULT create(const Guid& clsid, ComPtr<IPropertyPage>& out) {
        if (clsid != kPageA && clsid != kPageB) return REGDB_E_CLASSNOTREG;
        const bool a = clsid == kPageA;
        pages_.push_back(makeObject<TextPage>(
            a ? "First" : "Second", a ? QSize(200, 100) : QSize(320, 60), a ? "Title" : "Comment"));
        out = pages_.back();
        return S_OK;
    }
    std::unique_ptr<PropertyFrame> makeFrame() {
        const Guid pages[] = {kPageA, kMissing, kPageB};
        auto frame =
            std::make_unique<PropertyFrame>(nullptr, "Test Properties", objects_, pages, creator_);
        frame->show();
        return frame;
    }
    static void press(PropertyFrame& f, QDialogButtonBox::StandardButton b) {
        f.buttons()->button(b)->click();
    }
    static bool applyEnabled(PropertyFrame& f) {
        return f.buttons()->button(QDialogButtonBox::Apply)->isEnabled();
    }

    ComPtr<TestObject> object_ = makeObject<TestObject>();
    IUnknown* const objects_[1] = {static_cast<IDispatch*>(object_.get())};
    std::vector<ComPtr<TextPage>> pages_;
    PageCreator creator_ = [this](const Guid& c, ComPtr<IPropertyPage>& out) {
        return create(c, out);
    };
    ScriptedPrompter prompter_;
};

} // namespace

TEST_F(PropertyFrameTest, OneTabAPageReadingTheObjectsSizedToTheLargestPage) {
    object_->values["Title"] = "Intro";
    auto frame = makeFrame();
    EXPECT_EQ(frame->windowTitle(), "Test Properties");
    ASSERT_EQ(frame->pageCount(), 2u); // the page that cannot be created is left out
    EXPECT_EQ(frame->tabs()->tabText(0), "First");
    EXPECT_EQ(frame->tabs()->tabText(1), "Second");
    EXPECT_EQ(frame->page(0), pages_[0].get());
    EXPECT_EQ(static_cast<QLineEdit*>(pages_[0]->widget())->text(), "Intro");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(frame->tabs()->widget(i)->minimumSize(), QSize(320, 100));
    EXPECT_GE(frame->height(), 100 + frame->buttons()->height());
}

TEST_F(PropertyFrameTest, ApplyFollowsTheCurrentPageAndKeepsTheFrameOpen) {
    auto frame = makeFrame();
    EXPECT_FALSE(applyEnabled(*frame));
    pages_[0]->type("Opening");
    EXPECT_TRUE(applyEnabled(*frame));
    frame->tabs()->setCurrentIndex(1);
    EXPECT_FALSE(applyEnabled(*frame)); // the second page is clean
    frame->tabs()->setCurrentIndex(0);
    EXPECT_TRUE(object_->values["Title"].empty());
    press(*frame, QDialogButtonBox::Apply);
    EXPECT_EQ(object_->values["Title"], "Opening");
    EXPECT_FALSE(applyEnabled(*frame));
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(PropertyFrameTest, OkAppliesEveryDirtyPageCancelNoneBothLetThePagesGo) {
    auto frame = makeFrame();
    pages_[0]->type("T");
    frame->tabs()->setCurrentIndex(1);
    pages_[1]->type("C");
    press(*frame, QDialogButtonBox::Ok);
    EXPECT_EQ(object_->values["Title"], "T");
    EXPECT_EQ(object_->values["Comment"], "C");
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(frame->result(), QDialog::Accepted);
    EXPECT_TRUE(pages_[0]->released() && pages_[1]->released());

    pages_.clear();
    frame = makeFrame();
    pages_[0]->type("Unwanted");
    press(*frame, QDialogButtonBox::Cancel);
    EXPECT_EQ(frame->result(), QDialog::Rejected);
    EXPECT_EQ(object_->values["Title"], "T");
    EXPECT_TRUE(pages_[0]->released());

    pages_.clear();
    makeFrame().reset(); // destroyed without closing
    EXPECT_TRUE(pages_[0]->released() && pages_[1]->released());
}

TEST_F(PropertyFrameTest, ARefusedValueKeepsTheFrameOpenOnThatPage) {
    auto frame = makeFrame();
    pages_[0]->type("Fine");
    frame->tabs()->setCurrentIndex(1);
    pages_[1]->type("bad");
    frame->tabs()->setCurrentIndex(0);
    press(*frame, QDialogButtonBox::Ok);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->tabs()->currentIndex(), 1);
    EXPECT_EQ(object_->values["Title"], "Fine"); // the page before it was applied
    ASSERT_EQ(prompter_.prompts.size(), 1u);
    EXPECT_EQ(prompter_.prompts[0].text, "Invalid Property Value");
    EXPECT_TRUE(applyEnabled(*frame));

    pages_[1]->type("good");
    press(*frame, QDialogButtonBox::Ok);
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(object_->values["Comment"], "good");
}

TEST_F(PropertyFrameTest, ShowPropertyFrameRunsModallyOrFailsWithoutPages) {
    const Guid none[] = {kMissing};
    EXPECT_EQ(showPropertyFrame(nullptr, "X", objects_, none, creator_), E_FAIL);
    const Guid pages[] = {kPageA};
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* frame = qobject_cast<PropertyFrame*>(QApplication::activeModalWidget());
        ASSERT_TRUE(frame);
        shown = frame->windowTitle();
        static_cast<TextPage*>(frame->page(0))->type("Modal");
        press(*frame, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(showPropertyFrame(nullptr, "Modal Properties", objects_, pages, creator_), S_OK);
    EXPECT_EQ(shown, "Modal Properties");
    EXPECT_EQ(object_->values["Title"], "Modal");
    ComPtr<IPropertyPage> page;
    EXPECT_TRUE(failed(createPageFromRegistry(kMissing, page))); // not registered
}
