#include "editor/view/CQXMovie.h"

#include <QWidget>

#include "platform/activation/Activation.h"
#include "platform/component/Persist.h"
#include "player_control/definitions/QXMovieIds.h"

namespace qxm::editor {

namespace ids = qxm::qxmovie;

// The editor as the control's container: no page location, always in user mode, and the movie
// window decides the control's size itself.
class CQXMovie::Site : public Object<IClientSite> {
public:
    HRESULT pageLocation(std::string&) override { return S_FALSE; }
    bool userMode() override { return true; }
    HRESULT requestNewObjectSize(QSize) override { return S_FALSE; }
};

CQXMovie::CQXMovie() = default;

CQXMovie::~CQXMovie() {
    Destroy();
}

bool CQXMovie::Create(QWidget* parent, const QRect& rect, std::string* why) {
    Destroy();
    std::string message;
    HRESULT hr = createInstance(ids::kClsidQXMovie, object_, &message);
    if (succeeded(hr)) {
        dispatch_ = object_.as<IDispatch>();
        control_ = object_.as<IControlObject>();
        source_ = object_.as<IEventSource>();
        if (!dispatch_ || !control_ || !source_) hr = E_NOINTERFACE;
    }
    if (succeeded(hr)) {
        control_->setClientSite(makeObject<Site>().get());
        if (auto persist = object_.as<IPersistPropertyBag>()) persist->initNew();
        sink_ = makeEventSink([this](DispId id, Args args) {
            if (handler_) handler_(id, args);
        });
        hr = source_->advise(IID_NULL, sink_.get(), cookie_);
    }
    if (succeeded(hr)) hr = control_->activate(parent, rect);
    if (failed(hr)) {
        if (why) *why = message.empty() ? describeHResult(hr) : formatHResult(hr) + " " + message;
        Destroy();
        return false;
    }
    return true;
}

void CQXMovie::Destroy() {
    if (source_ && cookie_) source_->unadvise(cookie_);
    cookie_ = 0;
    if (control_) {
        control_->close();
        control_->setClientSite(nullptr);
    }
    sink_.reset();
    source_.reset();
    control_.reset();
    dispatch_.reset();
    object_.reset();
}

QWidget* CQXMovie::window() const {
    return control_ ? control_->window() : nullptr;
}

void CQXMovie::setGeometry(const QRect& rect) {
    if (control_) control_->setObjectRect(rect);
}

namespace {

[[noreturn]] void raise(HRESULT hr, const ExcepInfo& info) {
    const HRESULT code = hr == DISP_E_EXCEPTION ? info.scode : hr;
    throw AutomationError(code, hr == DISP_E_EXCEPTION && !info.description.empty()
                                    ? info.description
                                    : describeHResult(code));
}

} // namespace

void CQXMovie::put(DispId id, const Variant& value) {
    if (!dispatch_) throw AutomationError(E_UNEXPECTED, "no control");
    ExcepInfo info;
    if (const HRESULT hr = dispPut(*dispatch_, id, value, &info); failed(hr)) raise(hr, info);
}

Variant CQXMovie::get(DispId id) {
    if (!dispatch_) throw AutomationError(E_UNEXPECTED, "no control");
    ExcepInfo info;
    Variant out;
    if (const HRESULT hr = dispGet(*dispatch_, id, out, &info); failed(hr)) raise(hr, info);
    return out;
}

Variant CQXMovie::call(DispId id, std::initializer_list<Variant> args) {
    if (!dispatch_) throw AutomationError(E_UNEXPECTED, "no control");
    ExcepInfo info;
    Variant out;
    const std::vector<Variant> list(args);
    if (const HRESULT hr = dispCall(*dispatch_, id, list, &out, &info); failed(hr)) raise(hr, info);
    return out;
}

void CQXMovie::SetMovieFile(const std::string& path) {
    put(ids::DISPID_MovieFile, path);
}
void CQXMovie::SetShowControls(bool on) {
    put(ids::DISPID_ShowControls, on);
}
void CQXMovie::SetSelectionEnd(int32_t frame) {
    put(ids::DISPID_SelectionEnd, frame);
}
void CQXMovie::SetSelectionStart(int32_t frame) {
    put(ids::DISPID_SelectionStart, frame);
}
void CQXMovie::SetChangeCursor(bool on) {
    put(ids::DISPID_ChangeCursor, on);
}
void CQXMovie::SetEnableContextMenu(bool on) {
    put(ids::DISPID_EnableContextMenu, on);
}
void CQXMovie::SetShowAnchor(bool on) {
    put(ids::DISPID_ShowAnchor, on);
}
void CQXMovie::SetFullScreenMode(bool on) {
    put(ids::DISPID_FullScreenMode, on);
}
int32_t CQXMovie::GetCurrentPosition() {
    return get(ids::DISPID_CurrentPosition).asI4();
}
void CQXMovie::SetCurrentPosition(int32_t frame) {
    put(ids::DISPID_CurrentPosition, frame);
}
int32_t CQXMovie::GetImageSourceHeight() {
    return get(ids::DISPID_ImageSourceHeight).asI4();
}
int32_t CQXMovie::GetImageSourceWidth() {
    return get(ids::DISPID_ImageSourceWidth).asI4();
}
int32_t CQXMovie::GetDuration() {
    return get(ids::DISPID_Duration).asI4();
}
void CQXMovie::SetAnchorFrameOrigin(int32_t frame) {
    put(ids::DISPID_AnchorFrameOrigin, frame);
}
int32_t CQXMovie::GetAnchorFrameOrigin() {
    return get(ids::DISPID_AnchorFrameOrigin).asI4();
}
void CQXMovie::Play(int32_t frame) {
    call(ids::DISPID_Play, {frame});
}
void CQXMovie::Stop() {
    call(ids::DISPID_Stop, {});
}
void CQXMovie::Pause() {
    call(ids::DISPID_Pause, {});
}
bool CQXMovie::EnableAnchor(const std::string& id) {
    return call(ids::DISPID_EnableAnchor, {Variant(id)}).asBool();
}

} // namespace qxm::editor
