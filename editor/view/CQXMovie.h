#pragma once
// The embedded player control: created by its class id through the component registry inside
// a parent widget, and driven by dispatch id. Every operation is one automation call; a call
// that fails throws AutomationError. Events reach the handler given to setEventHandler.
#include <QRect>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/component/Dispatch.h"
#include "platform/hosting/ControlHosting.h"

class QWidget;

namespace qxm::editor {

class AutomationError : public std::runtime_error {
public:
    AutomationError(HRESULT hr, const std::string& what) : std::runtime_error(what), code(hr) {}
    HRESULT code;
};

class CQXMovie {
public:
    using EventHandler = std::function<void(DispId id, Args args)>;

    CQXMovie();
    ~CQXMovie();
    CQXMovie(const CQXMovie&) = delete;
    CQXMovie& operator=(const CQXMovie&) = delete;

    // Creates the control as a visible child of parent at rect; false (with *why) when it is
    // not registered or cannot be created or activated.
    bool Create(QWidget* parent, const QRect& rect, std::string* why = nullptr);
    // Closes and releases the control; Create may run again.
    void Destroy();
    bool created() const { return static_cast<bool>(dispatch_); }
    // The control's window, or null.
    QWidget* window() const;
    void setGeometry(const QRect& rect);
    void setEventHandler(EventHandler handler) { handler_ = std::move(handler); }

    void SetMovieFile(const std::string& path);
    void SetShowControls(bool on);
    void SetSelectionEnd(int32_t frame);
    void SetSelectionStart(int32_t frame);
    void SetChangeCursor(bool on);
    void SetEnableContextMenu(bool on);
    void SetShowAnchor(bool on);
    void SetFullScreenMode(bool on);
    int32_t GetCurrentPosition();
    void SetCurrentPosition(int32_t frame);
    int32_t GetImageSourceHeight();
    int32_t GetImageSourceWidth();
    int32_t GetDuration();
    void SetAnchorFrameOrigin(int32_t frame);
    int32_t GetAnchorFrameOrigin();
    void Play(int32_t frame);
    void Stop();
    void Pause();
    bool EnableAnchor(const std::string& id);

private:
    void put(DispId id, const Variant& value);
    Variant get(DispId id);
    Variant call(DispId id, std::initializer_list<Variant> args);

    class Site;
    ComPtr<IUnknown> object_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IControlObject> control_;
    ComPtr<IDispatch> sink_;
    ComPtr<IEventSource> source_;
    std::uint32_t cookie_ = 0;
    EventHandler handler_;
};

} // namespace qxm::editor
