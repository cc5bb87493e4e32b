#pragma once
// One hosted control: created by ProgID through the component registry, given a client site,
// loaded from a property bag or stream, activated in a window; commands from standard input,
// events and replies on standard output, one line each.
//
// Output lines:
//   event NAME ARGS...      every event of the control (strings quoted)
//   changed NAME            a property-change notification
//   prompt "CAPTION" "TEXT" a message the control showed (with --batch; answered with OK)
//   ok [VALUE]              a command succeeded
//   error CODE TEXT         a command failed (CODE as 0x8XXXXXXX)
#include <QEventLoop>
#include <QObject>
#include <QSize>
#include <QSocketNotifier>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/component/Dispatch.h"
#include "platform/component/TypeLib.h"
#include "platform/hosting/ControlHosting.h"

namespace qxm::host {

struct HostOptions {
    std::string progId = "QXMOVIE.QXMovieCtrl.2";
    std::string bagFile{};                  // --bag
    std::string streamFile{};               // --stream
    std::vector<std::string> assignments{}; // NAME=VALUE arguments, after the bag
    std::optional<std::string> location{};  // --location: the page's URL
    bool designMode = false;                // --design
};

class HostSession : public QObject {
    Q_OBJECT
public:
    HostSession();
    ~HostSession() override;

    // Creates, loads and activates the control; on failure *message says why and the result
    // is the exit status (3 creation, 4 loading, 5 activation).
    int start(const HostOptions& options, std::string* message);
    // Runs one command line; false for quit.
    bool runCommand(const std::string& line);
    // Reads commands from standard input until quit or its end, then ends the application.
    void readStandardInput();

    QWidget& window() { return window_; }
    void print(const std::string& line);

    // The longest side of the window the host shows (a control or a command asking for more
    // is refused), and the bounds of a wait.
    static constexpr int kMaxWindowSide = 8192;
    static constexpr long long kDefaultWaitMs = 15000;
    static constexpr long long kMaxWaitMs = 600000;
    static bool fits(QSize size) {
        return size.width() >= 0 && size.height() >= 0 && size.width() <= kMaxWindowSide &&
               size.height() <= kMaxWindowSide;
    }

private:
    void onInput();
    void finish();
    void onEvent(DispId id, Args args);
    void onChanged(DispId id);
    std::string memberName(const InterfaceInfo* in, DispId id) const;
    void reply(HRESULT hr, const ExcepInfo* info = nullptr,
               const std::optional<std::string>& value = std::nullopt);
    void resizeTo(QSize size);

    // commands
    void get(const std::vector<Variant>& args, const std::string& name);
    void put(const std::vector<Variant>& args, const std::string& name);
    void call(const std::vector<Variant>& args, const std::string& name);
    void save(const std::string& file, bool stream);
    void wait(const std::string& event, int ms);
    void grab(const std::string& file);

    class Site;
    QWidget window_;
    ComPtr<IUnknown> object_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IControlObject> control_;
    ComPtr<Site> site_;
    ComPtr<IDispatch> eventSink_;
    ComPtr<IUnknown> notifySink_;
    std::uint32_t eventCookie_ = 0, notifyCookie_ = 0;
    TypeLibrary library_;
    const InterfaceInfo* methods_ = nullptr;
    const InterfaceInfo* events_ = nullptr;
    std::map<std::string, int> seen_;     // events printed, by name
    std::map<std::string, int> consumed_; // of those, taken by wait
    QEventLoop* waitLoop_ = nullptr;      // while a wait command runs
    std::string waitingFor_;
    std::unique_ptr<QSocketNotifier> input_;
    std::string pending_;
    bool finished_ = false;
};

} // namespace qxm::host
