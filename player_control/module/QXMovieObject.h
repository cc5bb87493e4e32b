#pragma once
// The object a container holds when it creates the player control by its class id: the
// control as an embedded object (site, extent, window, verbs), its persistence in bag and
// stream form, its property pages and property browsing, and the control's automation
// (IDispatch, events and class information, passed through to the control's automation object).
//
// The object owns the control widget. While active the widget is a child of the container's
// widget; should the container destroy that widget first, every call fails with E_UNEXPECTED.
#include <QPointer>

#include <memory>

#include "platform/component/Dispatch.h"
#include "platform/component/Persist.h"
#include "platform/hosting/ControlHosting.h"
#include "platform/hosting/PropertyPages.h"
#include "player_control/control/CQXMovieCtrl.h"

namespace qxm::qxmovie {

class QXMovieObject
    : public Object<IDispatch, IEventSource, ITypeInfoProvider, IPropertyNotifySource,
                    IControlObject, IPersistPropertyBag, IPersistStreamInit, ISpecifyPropertyPages,
                    IPerPropertyBrowsing> {
public:
    explicit QXMovieObject(ModuleLife& life);
    ~QXMovieObject() override;

    // The control itself (tests and in-module callers).
    CQXMovieCtrl* control() const { return control_.data(); }

    // IDispatch
    HRESULT getIdOfName(std::string_view name, DispId& id) override;
    HRESULT invoke(DispId id, std::uint16_t flags, Args args, Variant* result,
                   ExcepInfo* excep = nullptr, std::uint32_t* argErr = nullptr) override;
    HRESULT getTypeInfo(InterfaceInfo& out) override;
    // IEventSource
    HRESULT advise(const Guid& eventIid, IDispatch* sink, std::uint32_t& cookie) override;
    HRESULT unadvise(std::uint32_t cookie) override;
    // ITypeInfoProvider
    HRESULT getClassInfo(TypeLibrary& library, Guid& clsid) override;
    // IPropertyNotifySource
    HRESULT advisePropertyNotify(IPropertyNotifySink* sink, std::uint32_t& cookie) override;
    HRESULT unadvisePropertyNotify(std::uint32_t cookie) override;
    // IControlObject
    HRESULT setClientSite(IClientSite* site) override;
    HRESULT getExtent(QSize& size) override;
    HRESULT setExtent(QSize size) override;
    HRESULT activate(QWidget* parent, const QRect& rect) override;
    QWidget* window() override;
    HRESULT setObjectRect(const QRect& rect) override;
    HRESULT close() override;
    HRESULT doVerb(int verb, QWidget* parent) override;
    // IPersistPropertyBag and IPersistStreamInit
    HRESULT getClassId(Guid& clsid) override;
    HRESULT initNew() override;
    HRESULT load(IPropertyBag* bag, std::string* message = nullptr) override;
    HRESULT save(IPropertyBag* bag, bool clearDirty, bool saveAll) override;
    HRESULT isDirty() override;
    HRESULT load(std::span<const std::uint8_t> data, std::string* message = nullptr) override;
    HRESULT save(std::vector<std::uint8_t>& out, bool clearDirty) override;
    // ISpecifyPropertyPages
    HRESULT getPages(std::vector<Guid>& pages) override;
    // IPerPropertyBrowsing
    HRESULT getDisplayString(DispId id, std::string& text) override;
    HRESULT mapPropertyToPage(DispId id, Guid& page, bool* pageOptional = nullptr) override;
    HRESULT getPredefinedStrings(DispId id, std::vector<std::string>& strings,
                                 std::vector<std::uint32_t>& cookies) override;
    HRESULT getPredefinedValue(DispId id, std::uint32_t cookie, Variant& value) override;

    // The property sheet ("General"), modal over parent.
    HRESULT showPropertySheet(QWidget* parent);

private:
    class Site;
    // The control, or null when its widget is gone.
    CQXMovieCtrl* live() const { return control_.data(); }
    template <class F> HRESULT guarded(F&& body);

    ModuleObjectToken token_;
    QPointer<CQXMovieCtrl> control_;
    std::unique_ptr<Site> site_;
    PropertyNotifier notifier_;
    bool active_ = false;
};

} // namespace qxm::qxmovie
