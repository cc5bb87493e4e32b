#include "player_control/module/QXMovieObject.h"

#include <new>

#include "platform/hosting/PropertyFrame.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/control/QXMovieTypeLib.h"
#include "player_control/module/QXMovieFactories.h"
#include "player_control/persistence/QXMoviePersist.h"

namespace qxm::qxmovie {

// What the control asks of its container, passed on to the container's client site.
class QXMovieObject::Site : public IControlSite {
public:
    explicit Site(QXMovieObject& owner) : owner_(owner) {}

    ComPtr<IClientSite> client;

    std::optional<std::string> pageLocation() const override {
        std::string url;
        if (client && client->pageLocation(url) == S_OK) return url;
        return std::nullopt;
    }
    bool userMode() const override { return client ? client->userMode() : true; }
    void requestNewSize(CQXMovieCtrl& control, QSize size) override {
        if (client)
            client->requestNewObjectSize(size); // the container sets the rectangle if it agrees
        else
            IControlSite::requestNewSize(control, size);
    }
    void propertyChanged(DispId id) override { owner_.notifier_.changed(id); }
    void showProperties(CQXMovieCtrl& control) override { owner_.showPropertySheet(&control); }

private:
    QXMovieObject& owner_;
};

QXMovieObject::QXMovieObject(ModuleLife& life)
    : token_(life), control_(new CQXMovieCtrl(nullptr)), site_(std::make_unique<Site>(*this)) {
    control_->setSite(site_.get());
}

QXMovieObject::~QXMovieObject() {
    if (CQXMovieCtrl* c = live()) {
        c->setSite(nullptr);
        delete c; // a top-level widget, or a child the container still holds
    }
}

template <class F> HRESULT QXMovieObject::guarded(F&& body) {
    if (!live()) return E_UNEXPECTED;
    return guardedHResult(E_FAIL, [&] { return body(*live()); });
}

// ---- automation, passed through ------------------------------------------------------------

HRESULT QXMovieObject::getIdOfName(std::string_view name, DispId& id) {
    return guarded([&](CQXMovieCtrl& c) { return c.dispatch()->getIdOfName(name, id); });
}

HRESULT QXMovieObject::invoke(DispId id, std::uint16_t flags, Args args, Variant* result,
                              ExcepInfo* excep, std::uint32_t* argErr) {
    // The control may go while a member runs (a script closing the page): keep its
    // automation object alive through the call.
    ComPtr<IDispatch> d = live() ? live()->dispatch() : nullptr;
    if (!d) return E_UNEXPECTED;
    return d->invoke(id, flags, args, result, excep, argErr);
}

HRESULT QXMovieObject::getTypeInfo(InterfaceInfo& out) {
    return guarded([&](CQXMovieCtrl& c) { return c.dispatch()->getTypeInfo(out); });
}

HRESULT QXMovieObject::advise(const Guid& eventIid, IDispatch* sink, std::uint32_t& cookie) {
    return guarded(
        [&](CQXMovieCtrl& c) { return c.eventSource()->advise(eventIid, sink, cookie); });
}

HRESULT QXMovieObject::unadvise(std::uint32_t cookie) {
    return guarded([&](CQXMovieCtrl& c) { return c.eventSource()->unadvise(cookie); });
}

HRESULT QXMovieObject::getClassInfo(TypeLibrary& library, Guid& clsid) {
    library = qxmovieTypeLibrary();
    clsid = kClsidQXMovie;
    return S_OK;
}

HRESULT QXMovieObject::advisePropertyNotify(IPropertyNotifySink* sink, std::uint32_t& cookie) {
    return notifier_.advise(sink, cookie);
}

HRESULT QXMovieObject::unadvisePropertyNotify(std::uint32_t cookie) {
    return notifier_.unadvise(cookie);
}

// ---- the embedded object --------------------------------------------------------------------

HRESULT QXMovieObject::setClientSite(IClientSite* site) {
    site_->client = ComPtr<IClientSite>(site);
    return live() ? S_OK : E_UNEXPECTED;
}

HRESULT QXMovieObject::getExtent(QSize& size) {
    return guarded([&](CQXMovieCtrl& c) {
        size = c.size();
        return S_OK;
    });
}

HRESULT QXMovieObject::setExtent(QSize size) {
    if (size.width() < 0 || size.height() < 0 || size.width() > kMaxExtentPixels ||
        size.height() > kMaxExtentPixels)
        return E_INVALIDARG;
    return guarded([&](CQXMovieCtrl& c) {
        if (active_)
            c.setObjectRect(QRect(c.pos(), size));
        else
            c.resize(size);
        return S_OK;
    });
}

HRESULT QXMovieObject::activate(QWidget* parent, const QRect& rect) {
    return guarded([&](CQXMovieCtrl& c) {
        if (active_) return E_UNEXPECTED;
        c.setParent(parent);
        c.setGeometry(rect);
        const int code = c.createControlWindow();
        if (code != 0) {
            c.closeControl();
            c.setParent(nullptr);
            if (code != ANCHOR_ERR_FORMAT) return E_OUTOFMEMORY;
            setErrorInfo({controlError(ANCHOR_ERR_FORMAT), {}, c.anchorReadErrorText()});
            return controlError(ANCHOR_ERR_FORMAT);
        }
        active_ = true;
        c.show();
        return S_OK;
    });
}

QWidget* QXMovieObject::window() {
    return active_ ? live() : nullptr;
}

HRESULT QXMovieObject::setObjectRect(const QRect& rect) {
    return guarded([&](CQXMovieCtrl& c) {
        c.setObjectRect(rect);
        return S_OK;
    });
}

HRESULT QXMovieObject::close() {
    return guarded([&](CQXMovieCtrl& c) {
        if (!active_) return S_OK;
        active_ = false;
        c.closeControl();
        c.hide();
        c.setParent(nullptr);
        return S_OK;
    });
}

HRESULT QXMovieObject::doVerb(int verb, QWidget* parent) {
    switch (verb) {
    case OLEIVERB_PROPERTIES:
        return showPropertySheet(parent);
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
        return live() ? S_OK : E_UNEXPECTED;
    default:
        return OLEOBJ_E_INVALIDVERB;
    }
}

HRESULT QXMovieObject::showPropertySheet(QWidget* parent) {
    if (!live()) return E_UNEXPECTED;
    std::vector<Guid> pages;
    getPages(pages);
    ComPtr<IUnknown> self(static_cast<IDispatch*>(this));
    IUnknown* const objects[] = {self.get()};
    const std::string caption = std::string(strings::kTypeName.text) + " Properties";
    return showPropertyFrame(parent, caption, objects, pages, createModulePage);
}

// ---- persistence ----------------------------------------------------------------------------

namespace {

PersistedControl persisted(const CQXMovieCtrl& c) {
    PersistedControl p;
    p.extentX = pixelsToHimetric(c.width());
    p.extentY = pixelsToHimetric(c.height());
    p.state = c.state();
    return p;
}

// An extent outside 0..kMaxExtentHimetric would ask for a window that does not fit in memory.
HRESULT checkExtent(std::string_view name, std::int32_t extent, std::string* message) {
    if (extent >= 0 && extent <= kMaxExtentHimetric) return S_OK;
    if (message)
        *message = std::string(name) + " " + std::to_string(extent) +
                   " is out of range: an extent lies between 0 and " +
                   std::to_string(kMaxExtentHimetric) + " (" + std::to_string(kMaxExtentPixels) +
                   " pixels)";
    return CTL_E_INVALIDPROPERTYVALUE;
}

// Loading writes the values straight into the control: nothing but the extent is validated,
// nothing sent to the engine (it receives them when it is created). A refused extent leaves
// the control as it was.
HRESULT restore(CQXMovieCtrl& c, const PersistedControl& p, std::string* message) {
    HRESULT hr = checkExtent(kExtentXName, p.extentX, message);
    if (succeeded(hr)) hr = checkExtent(kExtentYName, p.extentY, message);
    if (failed(hr)) return hr;
    c.resize(himetricToPixels(p.extentX), himetricToPixels(p.extentY));
    c.loadState(p.state);
    c.setModified(false);
    return S_OK;
}

} // namespace

HRESULT QXMovieObject::getClassId(Guid& clsid) {
    clsid = kClsidQXMovie;
    return S_OK;
}

HRESULT QXMovieObject::initNew() {
    return guarded([&](CQXMovieCtrl& c) {
        c.loadState(QXMovieState{});
        c.setModified(false);
        return S_OK;
    });
}

HRESULT QXMovieObject::load(IPropertyBag* bag, std::string* message) {
    if (!bag) return E_POINTER;
    return guarded([&](CQXMovieCtrl& c) {
        PersistedControl p;
        const HRESULT hr = loadFromBag(*bag, p, message);
        return succeeded(hr) ? restore(c, p, message) : hr;
    });
}

HRESULT QXMovieObject::save(IPropertyBag* bag, bool clearDirty, bool saveAll) {
    if (!bag) return E_POINTER;
    return guarded([&](CQXMovieCtrl& c) {
        const HRESULT hr = saveToBag(persisted(c), *bag, saveAll);
        if (succeeded(hr) && clearDirty) c.setModified(false);
        return hr;
    });
}

HRESULT QXMovieObject::isDirty() {
    return guarded([&](CQXMovieCtrl& c) { return c.isModified() ? S_OK : S_FALSE; });
}

HRESULT QXMovieObject::load(std::span<const std::uint8_t> data, std::string* message) {
    return guarded([&](CQXMovieCtrl& c) {
        PersistedControl p;
        const HRESULT hr = loadFromStream(data, p, message);
        return succeeded(hr) ? restore(c, p, message) : hr;
    });
}

HRESULT QXMovieObject::save(std::vector<std::uint8_t>& out, bool clearDirty) {
    return guarded([&](CQXMovieCtrl& c) {
        saveToStream(persisted(c), out);
        if (clearDirty) c.setModified(false);
        return S_OK;
    });
}

// ---- pages and property browsing ----------------------------------------------------------

HRESULT QXMovieObject::getPages(std::vector<Guid>& pages) {
    pages = {kClsidGeneralPage};
    return S_OK;
}

HRESULT QXMovieObject::getDisplayString(DispId id, std::string& text) {
    if (predefinedStrings(id).empty()) return S_FALSE;
    Variant value;
    HRESULT hr = invoke(id, DISPATCH_PROPERTYGET, {}, &value);
    if (failed(hr)) return hr;
    std::int32_t v = 0;
    if (failed(value.toI4(v))) return S_FALSE;
    text = enumDisplayString(id, v);
    return text.empty() ? S_FALSE : S_OK;
}

HRESULT QXMovieObject::mapPropertyToPage(DispId id, Guid& page, bool* pageOptional) {
    if (pageOptional) *pageOptional = true; // the value may still be edited in place
    switch (id) {
    case DISPID_MovieFile:
        page = kClsidMovieFilePage;
        return S_OK;
    case DISPID_CursorFile:
        page = kClsidCursorFilePage;
        return S_OK;
    default:
        page = IID_NULL;
        return PERPROP_E_NOPAGEAVAILABLE;
    }
}

HRESULT QXMovieObject::getPredefinedStrings(DispId id, std::vector<std::string>& strings,
                                            std::vector<std::uint32_t>& cookies) {
    const std::vector<PredefinedString> all = predefinedStrings(id);
    if (all.empty()) return E_NOTIMPL;
    strings.clear();
    cookies.clear();
    for (const PredefinedString& p : all) {
        strings.push_back(p.text);
        cookies.push_back(std::uint32_t(p.value));
    }
    return S_OK;
}

HRESULT QXMovieObject::getPredefinedValue(DispId id, std::uint32_t cookie, Variant& value) {
    for (const PredefinedString& p : predefinedStrings(id))
        if (std::uint32_t(p.value) == cookie) {
            value = Variant(p.value);
            return S_OK;
        }
    return predefinedStrings(id).empty() ? E_NOTIMPL : E_INVALIDARG;
}

} // namespace qxm::qxmovie
