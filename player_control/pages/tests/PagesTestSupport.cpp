#include "player_control/pages/tests/PagesTestSupport.h"

#include <QPixmap>
#include <QPushButton>

namespace qxm::qxmovie::testing {
namespace {

std::unique_ptr<QApplication> g_application;

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app(); }
    void TearDown() override {
        for (auto left = QApplication::topLevelWidgets(); !left.isEmpty();
             left = QApplication::topLevelWidgets())
            delete left.first();
        g_application.reset();
    }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

constexpr Guid kIidFake = Guid::literal("{5B7C1D2E-3F40-4A51-8B62-7C83D94EA5F6}");

} // namespace

QApplication& app() {
    static int argc = 1;
    static char name[] = "qxmovie_pages_tests";
    static char* argv[] = {name, nullptr};
    if (!g_application) g_application = std::make_unique<QApplication>(argc, argv);
    return *g_application;
}

FakeMovie::FakeMovie() : DispatchObject({"_DFake", kIidFake, InterfaceKind::DispInterface}) {
    DispId next = 1;
    auto boolProp = [&](const char* name, bool FakeMovie::*field) {
        declareProperty(
            {.id = next++, .name = name, .type = {VarType::Bool}},
            [this, field](Args) { return Variant(this->*field); },
            [this, field, name](Args, const Variant& v) {
                this->*field = v.asBool();
                puts.push_back(std::string(name) + "=" + (v.asBool() ? "1" : "0"));
            });
    };
    auto textProp = [&](const char* name, std::string FakeMovie::*field) {
        declareProperty(
            {.id = next++, .name = name, .type = {VarType::BStr}},
            [this, field](Args) { return Variant(this->*field); },
            [this, field, name](Args, const Variant& v) {
                this->*field = v.asString();
                puts.push_back(std::string(name) + "=" + v.asString());
            });
    };
    boolProp("AutoRepeat", &FakeMovie::AutoRepeat);
    boolProp("ChangeCursor", &FakeMovie::ChangeCursor);
    boolProp("ShowAnchor", &FakeMovie::ShowAnchor);
    boolProp("ShowControls", &FakeMovie::ShowControls);
    textProp("MovieFile", &FakeMovie::MovieFile);
    textProp("CursorFile", &FakeMovie::CursorFile);
    declareProperty(
        {.id = next++, .name = "ActivateMethod", .type = {VarType::I4}},
        [this](Args) { return Variant(ActivateMethod); },
        [this](Args, const Variant& v) {
            if (refuseActivateMethod)
                throw ComError(CTL_E_INVALIDPROPERTYVALUE, "Invalid Property Value", 213);
            ActivateMethod = v.asI4();
            puts.push_back("ActivateMethod=" + std::to_string(ActivateMethod));
        });
}

BareObject::BareObject() : DispatchObject({"_DBare", kIidFake, InterfaceKind::DispInterface}) {}

QWidget* controlById(QWidget* root, int id) {
    QWidget* found = nullptr;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QVariant v = w->property("controlId");
        if (!v.isValid() || v.toInt() != id) continue;
        if (found) return nullptr;
        found = w;
    }
    return found;
}

QString groupOf(QWidget* w) {
    for (QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget())
        if (auto* g = qobject_cast<QGroupBox*>(p)) return g->title();
    return {};
}

void PageTest::SetUp() {
    app();
    holder_ = std::make_unique<QWidget>();
}

void PageTest::TearDown() {
    if (opened_) {
        opened_->deactivate();
        opened_->setObjects({});
        opened_->setPageSite(nullptr);
        opened_.reset();
    }
    holder_.reset();
}

void PageTest::open(IPropertyPage& page, std::vector<IDispatch*> objects) {
    opened_ = ComPtr<IPropertyPage>(&page);
    std::vector<IUnknown*> unknowns;
    for (IDispatch* d : objects)
        unknowns.push_back(d);
    ASSERT_EQ(page.setPageSite(site_.get()), S_OK);
    ASSERT_EQ(page.setObjects(unknowns), S_OK);
    ASSERT_EQ(page.activate(holder_.get()), S_OK);
    ASSERT_TRUE(page.widget());
    holder_->show();
}

void PageTest::click(int id) {
    auto* button = control<QAbstractButton>(holder_.get(), id);
    ASSERT_TRUE(button) << "no button " << id;
    // Check boxes and radio buttons take clicks on their box and text only: click the box.
    const bool pushButton = button->inherits("QPushButton");
    const QPoint at = pushButton ? button->rect().center() : QPoint(6, button->height() / 2);
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

bool savePicture(QWidget& widget, const QString& path) {
    const QPixmap picture = widget.grab();
    return !picture.isNull() && picture.save(path, "PNG");
}

} // namespace qxm::qxmovie::testing
