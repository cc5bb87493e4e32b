#pragma once
// What the control's property pages share: a page object (IPropertyPage) counted toward the
// module's life, its widget built from a page template (dialog id, title from the string table,
// size in dialog units, font), and the exchange of its controls' values with the objects'
// properties (PageExchange.h).
//
// Every control widget carries its id as the dynamic property "controlId" (int; -1 for group
// boxes and labels) and a readable objectName.
#include <QPointer>
#include <QSize>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/component/Dispatch.h"
#include "platform/component/Unknown.h"
#include "platform/hosting/PropertyPages.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/pages/PageExchange.h"

class QAbstractButton;
class QCheckBox;
class QFont;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace qxm::qxmovie {

struct PageTemplate {
    int dialogId = 0;
    strings::TableString title{};
    QSize dialogUnits{};         // the page's size in dialog units of its font
    const char* objectName = ""; // the page widget's name
    const char* fontFamily = "";
    int fontPointSize = 8;
};

class QXMoviePropPageBase : public Object<IPropertyPage> {
public:
    HRESULT setPageSite(IPropertyPageSite* site) override;
    // E_UNEXPECTED without a GUI application (the size is measured in the page's font).
    HRESULT getPageInfo(PropertyPageInfo& info) override;
    // E_NOINTERFACE when one of them offers no IDispatch, E_POINTER for a null one; the page
    // then keeps no objects.
    HRESULT setObjects(std::span<IUnknown* const> objects) override;
    // E_POINTER for a null parent.
    HRESULT activate(QWidget* parent) override;
    QWidget* widget() override { return widget_; }
    HRESULT deactivate() override;
    HRESULT isPageDirty() override;
    HRESULT apply() override;

    const PageTemplate& pageTemplate() const { return template_; }
    QFont pageFont() const;
    // The page's size in pixels.
    QSize pageSize() const;
    // The exchange of the active page (empty while inactive).
    const PageExchange& exchange() const { return exchange_; }

protected:
    QXMoviePropPageBase(ModuleLife& life, const PageTemplate& pageTemplate);
    ~QXMoviePropPageBase() override;

    // Builds the page's controls into page (which has the page's font and size) and binds
    // them, in exchange order.
    virtual void createControls(QWidget& page) = 0;

    // Helpers for createControls: a widget with its id and name.
    static void identify(QWidget* widget, int controlId, const char* objectName);
    void bindCheck(QCheckBox* box, const char* property);
    // The buttons of one group, the first for the value 0; ids from the widgets.
    void bindRadios(std::vector<QRadioButton*> buttons, const char* property);
    void bindEdit(QLineEdit* edit, const char* property);
    // Puts text into a bound edit box as if the user had typed it.
    void enterText(QLineEdit* edit, const QString& text);

private:
    struct Binding {
        std::size_t entry;
        std::vector<QPointer<QAbstractButton>> buttons;
        QPointer<QLineEdit> edit;
    };
    void showValues();
    void changed();

    ModuleObjectToken token_;
    PageTemplate template_;
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IDispatch>> objects_;
    QPointer<QWidget> widget_;
    PageExchange exchange_;
    std::vector<Binding> bindings_;
};

} // namespace qxm::qxmovie
