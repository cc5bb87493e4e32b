#pragma once
// Property pages: small dialogs, each an object of its own class, that edit the properties of
// one or more objects through their IDispatch. An object names its pages (ISpecifyPropertyPages)
// and, for a single property, the page that edits it (IPerPropertyBrowsing). The property
// frame (PropertyFrame.h) shows pages as tabs with OK, Cancel and Apply.
//
// A page reads the objects' properties when it is activated. Editing a control marks it
// changed and the page dirty (the site hears PROPPAGESTATUS_DIRTY); apply() sets the
// properties of the changed controls only, then the page is clean again.
#include <QSize>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/component/Guid.h"
#include "platform/component/HResult.h"
#include "platform/component/TypeLib.h"
#include "platform/component/Unknown.h"
#include "platform/component/Variant.h"

class QWidget;
class QRect;

namespace qxm {

inline constexpr std::uint32_t PROPPAGESTATUS_DIRTY = 0x1;
inline constexpr std::uint32_t PROPPAGESTATUS_VALIDATE = 0x2;
// IPerPropertyBrowsing::mapPropertyToPage: the property has no page of its own.
inline constexpr HRESULT PERPROP_E_NOPAGEAVAILABLE = hresultFromBits(0x80040200);

struct PropertyPageInfo {
    std::string title{};
    QSize size{}; // pixels, from the page's size in dialog units and its font
    std::string docString{};
    std::string helpFile{};
    std::uint32_t helpContext = 0;
};

class IPropertyPageSite : public IUnknown {
public:
    static constexpr Guid iid = Guid::literal("{B196B28C-BAB4-101A-B69C-00AA00341D07}");
    using Base = IUnknown;
    virtual HRESULT onStatusChange(std::uint32_t flags) = 0;
};

class IPropertyPage : public IUnknown {
public:
    static constexpr Guid iid = Guid::literal("{B196B28D-BAB4-101A-B69C-00AA00341D07}");
    using Base = IUnknown;
    virtual HRESULT setPageSite(IPropertyPageSite* site) = 0;
    virtual HRESULT getPageInfo(PropertyPageInfo& info) = 0;
    // The objects the page edits (each is asked for IDispatch); an empty span lets them go.
    virtual HRESULT setObjects(std::span<IUnknown* const> objects) = 0;
    // Creates the page's widget as a child of parent and reads the objects' properties into
    // it. E_UNEXPECTED when already active.
    virtual HRESULT activate(QWidget* parent) = 0;
    // The page's widget while active, else null.
    virtual QWidget* widget() = 0;
    // Destroys the widget (unapplied changes are dropped).
    virtual HRESULT deactivate() = 0;
    // S_OK when a control was changed since the page read or applied, else S_FALSE.
    virtual HRESULT isPageDirty() = 0;
    // Sets the properties of the changed controls on every object. When an object refuses a
    // value, the page shows the error's description, stays dirty and returns the failure.
    virtual HRESULT apply() = 0;
};

class ISpecifyPropertyPages : public IUnknown {
public:
    static constexpr Guid iid = Guid::literal("{B196B28B-BAB4-101A-B69C-00AA00341D07}");
    using Base = IUnknown;
    // The classes of the pages of the object's property sheet, in tab order.
    virtual HRESULT getPages(std::vector<Guid>& pages) = 0;
};

class IPerPropertyBrowsing : public IUnknown {
public:
    static constexpr Guid iid = Guid::literal("{376BD3AA-3845-101B-84ED-08002B2EC713}");
    using Base = IUnknown;
    // S_OK with the text a property browser shows for the current value; S_FALSE for the
    // ordinary display of the value.
    virtual HRESULT getDisplayString(DispId id, std::string& text) = 0;
    // The page that edits the property alone; *pageOptional tells whether a browser may
    // still edit the value in place. PERPROP_E_NOPAGEAVAILABLE when it has none.
    virtual HRESULT mapPropertyToPage(DispId id, Guid& page, bool* pageOptional = nullptr) = 0;
    // The strings a browser offers for the property, each with a cookie for
    // getPredefinedValue; E_NOTIMPL when the property has none.
    virtual HRESULT getPredefinedStrings(DispId id, std::vector<std::string>& strings,
                                         std::vector<std::uint32_t>& cookies) = 0;
    virtual HRESULT getPredefinedValue(DispId id, std::uint32_t cookie, Variant& value) = 0;
};

} // namespace qxm
