#include "player_control/pages/tests/PagesTestSupport.h"

#include "TestApplication.h"

#include <QGroupBox>
#include <QPixmap>

#include <type_traits>

namespace qxm::qxmovie::testing {

FakeMovie::FakeMovie()
    : DispatchObject({"_DFake", Guid::literal("{5B7C1D2E-3F40-4A51-8B62-7C83D94EA5F6}"),
                      InterfaceKind::DispInterface}) {
    DispId next = 1;
    auto prop = [&](const char* name, VarType type, auto FakeMovie::*field) {
        declareProperty(
            {.id = next++, .name = name, .type = {type}},
            [this, field](Args) { return Variant(this->*field); },
            [this, field, name](Args, const Variant& v) {
                using T = std::decay_t<decltype(this->*field)>;
                if constexpr (std::is_same_v<T, bool>) this->*field = v.asBool();
                if constexpr (std::is_same_v<T, std::int32_t>) {
                    if (refuseActivateMethod)
                        throw ComError(CTL_E_INVALIDPROPERTYVALUE, "Invalid Property Value", 213);
                    this->*field = v.asI4();
                }
                if constexpr (std::is_same_v<T, std::string>) this->*field = v.asString();
                std::string text;
                v.toString(text);
                puts.push_back(std::string(name) + "=" + text);
            });
    };
    prop("AutoRepeat", VarType::Bool, &FakeMovie::AutoRepeat);
    prop("ChangeCursor", VarType::Bool, &FakeMovie::ChangeCursor);
    prop("ShowAnchor", VarType::Bool, &FakeMovie::ShowAnchor);
    prop("ShowControls", VarType::Bool, &FakeMovie::ShowControls);
    prop("ActivateMethod", VarType::I4, &FakeMovie::ActivateMethod);
    prop("MovieFile", VarType::BStr, &FakeMovie::MovieFile);
    prop("CursorFile", VarType::BStr, &FakeMovie::CursorFile);
}

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

bool savePicture(QWidget& widget, const QString& path) {
    const QPixmap picture = widget.grab();
    return !picture.isNull() && picture.save(path, "PNG");
}

void PageTest::SetUp() {
    testApplication();
    holder_ = std::make_unique<QWidget>();
}

void PageTest::TearDown() {
    close();
    holder_.reset();
}

void PageTest::open(IPropertyPage& page, std::vector<IDispatch*> objects) {
    close();
    opened_ = ComPtr<IPropertyPage>(&page);
    std::vector<IUnknown*> unknowns(objects.begin(), objects.end());
    ASSERT_EQ(page.setPageSite(site_.get()), S_OK);
    ASSERT_EQ(page.setObjects(unknowns), S_OK);
    ASSERT_EQ(page.activate(holder_.get()), S_OK);
    holder_->show();
}

void PageTest::close() {
    if (!opened_) return;
    opened_->deactivate();
    opened_->setObjects({});
    opened_->setPageSite(nullptr);
    opened_.reset();
}

void PageTest::click(int id) {
    auto* button = control<QAbstractButton>(holder_.get(), id);
    ASSERT_TRUE(button) << "no button " << id;
    // Check boxes and radio buttons take clicks on their box and text only: click the box.
    const bool push = button->inherits("QPushButton");
    QTest::mouseClick(button, Qt::LeftButton, {},
                      push ? button->rect().center() : QPoint(6, button->height() / 2));
}

} // namespace qxm::qxmovie::testing
