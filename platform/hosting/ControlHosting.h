#pragma once
// Hosting controls: what a container and a control created through the component layer say
// to each other. The container gives the control a client site, restores its properties
// (Persist.h), then activates it: the control creates its window as a child of a container
// widget. Scripts and the container reach its members through IDispatch and connect to its
// events through IEventSource (Dispatch.h).
//
//   ComPtr<IUnknown> obj;  createInstanceByProgId("QXMOVIE.QXMovieCtrl.2", obj);
//   obj.as<IControlObject>()->setClientSite(site);
//   obj.as<IPersistPropertyBag>()->load(bag);
//   obj.as<IControlObject>()->activate(parentWidget, rect);
//   ...
//   obj.as<IControlObject>()->close();  obj.reset();  freeUnusedModules();
#include <QRect>
#include <QSize>

#include <cstdint>
#include <string>

#include "platform/component/Guid.h"
#include "platform/component/HResult.h"
#include "platform/component/Unknown.h"

class QWidget;

namespace qxm {

// Verbs of IControlObject::doVerb.
inline constexpr int OLEIVERB_PRIMARY = 0;
inline constexpr int OLEIVERB_SHOW = -1;
inline constexpr int OLEIVERB_PROPERTIES = -7;
inline constexpr HRESULT OLEOBJ_E_INVALIDVERB = hresultFromBits(0x80040181);

// What the container offers a control it holds.
class IClientSite : public IUnknown {
public:
    static constexpr Guid iid = Guid::literal("{2B8D2F4E-6A0C-4C59-9B1E-7F3D2C8A5E10}");
    using Base = IUnknown;
    // The location (URL) of the page holding the control: S_OK with url set when the
    // container is a browser, S_FALSE when it has none.
    virtual HRESULT pageLocation(std::string& url) = 0;
    // The ambient user mode: false while the container is in design mode.
    virtual bool userMode() = 0;
    // The control asks for a new size in pixels. A container that agrees answers S_OK and
    // sets the new rectangle (IControlObject::setObjectRect), at once or later; S_FALSE refuses.
    virtual HRESULT requestNewObjectSize(QSize size) = 0;
};

// The control as an embedded object: its site, extent, window and verbs.
class IControlObject : public IUnknown {
public:
    static constexpr Guid iid = Guid::literal("{5C1E7A93-0D4B-4F2A-8E61-3B9C0F7D2A44}");
    using Base = IUnknown;
    // Null detaches the site. Set it before loading properties: the control may ask it for
    // ambient values.
    virtual HRESULT setClientSite(IClientSite* site) = 0;
    // The extent in pixels (what a container sizes the control's rectangle to).
    virtual HRESULT getExtent(QSize& size) = 0;
    virtual HRESULT setExtent(QSize size) = 0;
    // Creates the control's window as a child of parent at rect (parent coordinates) and
    // shows it. E_UNEXPECTED when already active; the control's own failure otherwise.
    virtual HRESULT activate(QWidget* parent, const QRect& rect) = 0;
    // The control's window while active, else null.
    virtual QWidget* window() = 0;
    // The container moves or resizes the control's rectangle.
    virtual HRESULT setObjectRect(const QRect& rect) = 0;
    // Destroys the window (what is playing stops); the object and its properties stay, and it
    // can be activated again.
    virtual HRESULT close() = 0;
    // OLEIVERB_PROPERTIES shows the control's property sheet modally over parent;
    // OLEIVERB_PRIMARY and OLEIVERB_SHOW activate nothing more than activate() did.
    // Other verbs: OLEOBJ_E_INVALIDVERB.
    virtual HRESULT doVerb(int verb, QWidget* parent) = 0;
};

} // namespace qxm
