#include "player_control/pages/QXMoviePropPageBase.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>

#include "platform/prompter/Prompter.h"
#include "platform/ui/SystemText.h"
#include "platform/ui/DialogUnits.h"

namespace qxm::qxmovie {

using ui::dialogFont;
using ui::dialogUnitsToPixels;
namespace {

bool haveGuiApplication() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// Checks or clears a radio button; a cleared group has no button checked.
void setRadioChecked(QAbstractButton& button, bool on) {
    if (button.isChecked() == on) return;
    const bool exclusive = button.autoExclusive();
    button.setAutoExclusive(false); // an exclusive button cannot be cleared by itself
    button.setChecked(on);
    button.setAutoExclusive(exclusive);
}

} // namespace

QXMoviePropPageBase::QXMoviePropPageBase(ModuleLife& life, const PageTemplate& pageTemplate)
    : token_(life), template_(pageTemplate) {}

QXMoviePropPageBase::~QXMoviePropPageBase() {
    deactivate();
}

QFont QXMoviePropPageBase::pageFont() const {
    return dialogFont(template_.fontFamily, template_.fontPointSize);
}

QSize QXMoviePropPageBase::pageSize() const {
    return dialogUnitsToPixels(template_.dialogUnits, pageFont());
}

HRESULT QXMoviePropPageBase::setPageSite(IPropertyPageSite* site) {
    site_ = ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

HRESULT QXMoviePropPageBase::getPageInfo(PropertyPageInfo& info) {
    if (!haveGuiApplication()) return E_UNEXPECTED;
    info = PropertyPageInfo{};
    info.title = template_.title.text;
    info.size = pageSize();
    return S_OK;
}

HRESULT QXMoviePropPageBase::setObjects(std::span<IUnknown* const> objects) {
    std::vector<ComPtr<IDispatch>> dispatches;
    for (IUnknown* object : objects) {
        ComPtr<IDispatch> d = object ? ComPtr<IUnknown>(object).as<IDispatch>() : nullptr;
        if (!d) {
            objects_.clear();
            return object ? E_NOINTERFACE : E_POINTER;
        }
        dispatches.push_back(std::move(d));
    }
    objects_ = std::move(dispatches);
    // New objects while active: the page shows their values.
    if (widget_ && !objects_.empty()) {
        exchange_.read(*objects_.front());
        showValues();
    }
    return S_OK;
}

HRESULT QXMoviePropPageBase::activate(QWidget* parent) {
    if (widget_) return E_UNEXPECTED;
    if (!parent) return E_POINTER;
    if (!haveGuiApplication()) return E_UNEXPECTED;

    auto* page = new QWidget(parent); // owned by the parent; deactivate() destroys it
    page->setObjectName(QString::fromLatin1(template_.objectName));
    page->setProperty("dialogId", template_.dialogId);
    page->setFont(pageFont());
    page->setFixedSize(pageSize());
    widget_ = page;
    exchange_ = PageExchange{};
    bindings_.clear();
    createControls(*page);

    showValues(); // nothing read yet: check boxes 0, radio groups -1, edit boxes empty
    if (!objects_.empty()) {
        exchange_.read(*objects_.front());
        showValues();
    }
    return S_OK;
}

HRESULT QXMoviePropPageBase::deactivate() {
    bindings_.clear();
    exchange_ = PageExchange{};
    delete widget_.data(); // a parent-owned widget leaving its parent
    return S_OK;
}

HRESULT QXMoviePropPageBase::isPageDirty() {
    return exchange_.anyChanged() ? S_OK : S_FALSE;
}

HRESULT QXMoviePropPageBase::apply() {
    std::string error;
    const HRESULT hr = exchange_.apply(objects_, error);
    if (failed(hr)) prompt(error, template_.title.text, Buttons::Ok, Icon::Warning);
    return hr;
}

void QXMoviePropPageBase::identify(QWidget* widget, int controlId, const char* objectName) {
    widget->setProperty("controlId", controlId);
    widget->setObjectName(QString::fromLatin1(objectName));
}

void QXMoviePropPageBase::bindCheck(QCheckBox* box, const char* property) {
    const std::size_t entry =
        exchange_.add(ExchangeKind::Check, box->property("controlId").toInt(), property);
    bindings_.push_back({entry, {box}, {}});
    QObject::connect(box, &QAbstractButton::clicked, box, [this, entry](bool on) {
        exchange_.setNumber(entry, on ? 1 : 0);
        changed();
    });
}

void QXMoviePropPageBase::bindRadios(std::vector<QRadioButton*> buttons, const char* property) {
    const int firstId = buttons.empty() ? 0 : buttons.front()->property("controlId").toInt();
    const std::size_t entry = exchange_.add(ExchangeKind::Radio, firstId, property);
    Binding binding{entry, {}, {}};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        binding.buttons.emplace_back(buttons[i]);
        QObject::connect(buttons[i], &QAbstractButton::clicked, buttons[i], [this, entry, i] {
            exchange_.setNumber(entry, std::int32_t(i));
            changed();
        });
    }
    bindings_.push_back(std::move(binding));
}

void QXMoviePropPageBase::bindEdit(QLineEdit* edit, const char* property) {
    const std::size_t entry =
        exchange_.add(ExchangeKind::Text, edit->property("controlId").toInt(), property);
    bindings_.push_back({entry, {}, edit});
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this, entry](const QString& text) {
        exchange_.setText(entry, ui::toSystem(text));
        changed();
    });
}

void QXMoviePropPageBase::enterText(QLineEdit* edit, const QString& text) {
    for (const Binding& b : bindings_) {
        if (b.edit != edit) continue;
        edit->setText(text);
        exchange_.setText(b.entry, ui::toSystem(text));
        changed();
        return;
    }
}

void QXMoviePropPageBase::showValues() {
    for (const Binding& b : bindings_) {
        const ExchangeEntry& e = exchange_.entry(b.entry);
        switch (e.kind) {
        case ExchangeKind::Check:
            if (!b.buttons.empty() && b.buttons[0]) b.buttons[0]->setChecked(e.number != 0);
            break;
        case ExchangeKind::Radio:
            for (std::size_t i = 0; i < b.buttons.size(); ++i)
                if (b.buttons[i]) setRadioChecked(*b.buttons[i], std::int32_t(i) == e.number);
            break;
        case ExchangeKind::Text:
            if (b.edit) b.edit->setText(ui::fromSystem(e.text));
            break;
        }
    }
}

void QXMoviePropPageBase::changed() {
    if (site_) site_->onStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
}

} // namespace qxm::qxmovie
