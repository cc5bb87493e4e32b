#include "tools/host/HostSession.h"

#include <QApplication>
#include <QEventLoop>
#include <QImageWriter>
#include <QPixmap>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/activation/Activation.h"
#include "platform/component/Persist.h"
#include "platform/files/TextFiles.h"
#include "platform/propertybag/TextPropertyBag.h"
#include "tools/host/HostText.h"

namespace qxm::host {

class HostSession::Site : public Object<IClientSite> {
public:
    Site(HostSession& session, std::optional<std::string> location, bool userMode)
        : session_(session), location_(std::move(location)), userMode_(userMode) {}
    HRESULT pageLocation(std::string& url) override {
        if (!location_) return S_FALSE;
        url = *location_;
        return S_OK;
    }
    bool userMode() override { return userMode_; }
    HRESULT requestNewObjectSize(QSize size) override {
        if (!HostSession::fits(size)) return E_INVALIDARG;
        session_.resizeTo(size);
        return S_OK;
    }

private:
    HostSession& session_;
    std::optional<std::string> location_;
    bool userMode_;
};

namespace {

class NotifySink : public Object<IPropertyNotifySink> {
public:
    explicit NotifySink(std::function<void(DispId)> changed) : changed_(std::move(changed)) {}
    HRESULT onChanged(DispId id) override {
        changed_(id);
        return S_OK;
    }
    HRESULT onRequestEdit(DispId) override { return S_OK; }

private:
    std::function<void(DispId)> changed_;
};

std::string codeText(HRESULT hr) {
    return describeHResult(hr);
}

// A failure with the description its maker left, else the code's own text.
std::string failureText(HRESULT hr) {
    ExcepInfo info;
    if (takeErrorInfo(hr, info) && !info.description.empty())
        return formatHResult(hr) + " " + info.description;
    return codeText(hr);
}

std::string badNumber(const std::string& what, const std::string& word, long long min,
                      long long max) {
    return "error " + formatHResult(E_INVALIDARG) + " bad " + what + " \"" + echoed(word) +
           "\": a whole number from " + std::to_string(min) + " to " + std::to_string(max);
}

} // namespace

HostSession::HostSession() {
    window_.setWindowTitle("qxmhost");
}

HostSession::~HostSession() {
    finish();
}

void HostSession::print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int HostSession::start(const HostOptions& options, std::string* message) {
    std::string why;
    HRESULT hr = createInstanceByProgId(options.progId, object_, &why);
    if (failed(hr)) {
        *message = "cannot create " + options.progId + ": " + codeText(hr) +
                   (why.empty() ? "" : " (" + why + ")");
        return 3;
    }
    dispatch_ = object_.as<IDispatch>();
    control_ = object_.as<IControlObject>();
    if (!dispatch_ || !control_) {
        *message = options.progId + " is not a control";
        return 3;
    }
    if (auto info = object_.as<ITypeInfoProvider>()) {
        Guid clsid;
        if (succeeded(info->getClassInfo(library_, clsid)))
            if (const CoClassInfo* c = library_.findCoClass(clsid)) {
                methods_ = library_.defaultInterface(*c);
                events_ = library_.defaultInterface(*c, true);
            }
    }
    site_ = makeObject<Site>(*this, options.location, !options.designMode);
    control_->setClientSite(site_.get());

    // Properties: a saved stream, or a bag with the arguments on top, or the defaults.
    if (!options.streamFile.empty()) {
        std::vector<std::uint8_t> bytes;
        auto persist = object_.as<IPersistStreamInit>();
        if (!persist) {
            *message = options.progId + " cannot load a stream";
            return 4;
        }
        std::string data;
        if (const int e = readWholeFile(options.streamFile, data); e != 0) {
            *message = "cannot read " + options.streamFile + ": " + std::strerror(e);
            return 4;
        }
        bytes.assign(data.begin(), data.end());
        hr = persist->load(bytes, &why);
    } else if (auto persist = object_.as<IPersistPropertyBag>()) {
        auto bag = makeObject<TextPropertyBag>();
        if (!options.bagFile.empty() &&
            failed(hr = TextPropertyBag::readFile(options.bagFile, *bag, &why))) {
            *message = "cannot read " + options.bagFile + ": " + why;
            return 4;
        }
        for (const std::string& a : options.assignments)
            if (failed(hr = bag->addLine(a, &why))) {
                *message = "bad argument " + a + ": " + why;
                return 4;
            }
        hr = options.bagFile.empty() && options.assignments.empty()
                 ? persist->initNew()
                 : persist->load(bag.get(), &why);
    } else {
        hr = S_OK;
    }
    if (failed(hr)) {
        *message = "cannot load the properties: " + (why.empty() ? codeText(hr) : why);
        return 4;
    }

    eventSink_ = makeEventSink([this](DispId id, Args args) { onEvent(id, args); });
    if (auto source = object_.as<IEventSource>())
        source->advise(IID_NULL, eventSink_.get(), eventCookie_);
    if (auto notify = object_.as<IPropertyNotifySource>()) {
        auto sink = makeObject<NotifySink>([this](DispId id) { onChanged(id); });
        notifySink_ = ComPtr<IUnknown>(static_cast<IUnknown*>(sink.get()));
        notify->advisePropertyNotify(sink.get(), notifyCookie_);
    }

    QSize extent;
    control_->getExtent(extent);
    if (!fits(extent)) {
        *message = "the control asks for a window of " + std::to_string(extent.width()) + " x " +
                   std::to_string(extent.height()) + " pixels; at most " +
                   std::to_string(kMaxWindowSide) + " a side is shown";
        return 5;
    }
    window_.setWindowTitle(QString::fromStdString("qxmhost - " + options.progId));
    window_.resize(extent);
    hr = control_->activate(&window_, QRect(QPoint(0, 0), extent));
    if (failed(hr)) {
        *message = "the control cannot be activated: " + failureText(hr);
        return 5;
    }
    window_.show();
    return 0;
}

void HostSession::resizeTo(QSize size) {
    if (control_) control_->setObjectRect(QRect(QPoint(0, 0), size));
    window_.resize(size);
}

std::string HostSession::memberName(const InterfaceInfo* in, DispId id) const {
    if (in)
        if (const MemberInfo* m = in->find(id)) return m->name;
    return "Member" + std::to_string(id);
}

void HostSession::onEvent(DispId id, Args args) {
    const std::string name = memberName(events_, id);
    std::string line = "event " + name;
    for (const Variant& a : args)
        line += " " + showValue(a);
    ++seen_[name];
    print(line);
    if (waitLoop_ && name == waitingFor_) waitLoop_->quit();
}

void HostSession::onChanged(DispId id) {
    print("changed " + memberName(methods_, id));
}

void HostSession::reply(HRESULT hr, const ExcepInfo* info,
                        const std::optional<std::string>& value) {
    if (succeeded(hr)) {
        print(value ? "ok " + *value : "ok");
    } else if (hr == DISP_E_EXCEPTION && info) {
        print("error " + formatHResult(info->scode) + " " + info->description);
    } else {
        print("error " + codeText(hr));
    }
}

void HostSession::readStandardInput() {
    input_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(input_.get(), &QSocketNotifier::activated, this, &HostSession::onInput);
}

void HostSession::onInput() {
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n > 0) pending_.append(buffer, std::size_t(n));
    // Commands run one after another: a command that waits (wait, a modal dialog) must not
    // let the next line in meanwhile.
    input_->setEnabled(false);
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!runCommand(line)) {
            finish();
            return;
        }
    }
    if (n <= 0) { // end of input: a last line without its line break, then quit
        if (!pending_.empty()) runCommand(std::exchange(pending_, {}));
        finish();
        return;
    }
    input_->setEnabled(true);
}

bool HostSession::runCommand(const std::string& line) {
    std::vector<std::string> words;
    std::string error;
    if (!splitWords(line, words, &error)) {
        print("error " + formatHResult(E_INVALIDARG) + " " + echoed(error, 200));
        return true;
    }
    if (words.empty() || words[0][0] == '#') return true;
    const std::string& cmd = words[0];
    std::vector<Variant> args;
    for (std::size_t i = 2; i < words.size(); ++i)
        args.emplace_back(words[i]);
    const auto need = [&](std::size_t n) {
        if (words.size() >= n) return true;
        print("error " + formatHResult(E_INVALIDARG) + " " + cmd + " needs " +
              std::to_string(n - 1) + " argument" + (n == 2 ? "" : "s"));
        return false;
    };
    if (cmd == "quit" || cmd == "exit") return false;
    if (!object_) {
        print("error " + codeText(E_UNEXPECTED));
        return true;
    }
    if (cmd == "get") {
        if (need(2)) get(args, words[1]);
    } else if (cmd == "set") {
        if (need(3)) put(args, words[1]);
    } else if (cmd == "call") {
        if (need(2)) call(args, words[1]);
    } else if (cmd == "save" || cmd == "save-stream") {
        if (need(2)) save(words[1], cmd == "save-stream");
    } else if (cmd == "wait") {
        long long ms = kDefaultWaitMs;
        if (!need(2)) {
        } else if (words.size() > 2 && !parseBounded(words[2], 0, kMaxWaitMs, ms)) {
            print(badNumber("time-out", words[2], 0, kMaxWaitMs));
        } else {
            wait(words[1], int(ms));
        }
    } else if (cmd == "grab") {
        if (need(2)) grab(words[1]);
    } else if (cmd == "verb") {
        long long verb = 0;
        if (!need(2)) {
        } else if (!parseBounded(words[1], INT32_MIN, INT32_MAX, verb)) {
            print(badNumber("verb", words[1], INT32_MIN, INT32_MAX));
        } else {
            reply(control_->doVerb(int(verb), &window_));
        }
    } else if (cmd == "size") {
        long long w = 0, h = 0;
        if (!need(3)) {
        } else if (!parseBounded(words[1], 0, kMaxWindowSide, w)) {
            print(badNumber("width", words[1], 0, kMaxWindowSide));
        } else if (!parseBounded(words[2], 0, kMaxWindowSide, h)) {
            print(badNumber("height", words[2], 0, kMaxWindowSide));
        } else {
            resizeTo(QSize(int(w), int(h)));
            reply(S_OK);
        }
    } else {
        print("error " + formatHResult(E_INVALIDARG) + " unknown command " + echoed(cmd));
    }
    return true;
}

void HostSession::get(const std::vector<Variant>& args, const std::string& name) {
    Variant out;
    ExcepInfo info;
    const HRESULT hr = dispGet(*dispatch_, name, out, &info, args);
    reply(hr, &info, showValue(out));
}

void HostSession::put(const std::vector<Variant>& args, const std::string& name) {
    // The last word is the value; words before it index the property.
    const std::vector<Variant> index(args.begin(), args.end() - 1);
    ExcepInfo info;
    reply(dispPut(*dispatch_, name, args.back(), &info, index), &info);
}

void HostSession::call(const std::vector<Variant>& args, const std::string& name) {
    Variant result;
    ExcepInfo info;
    const HRESULT hr = dispCall(*dispatch_, name, args, &result, &info);
    reply(hr, &info, result.isEmpty() ? std::nullopt : std::optional(showValue(result)));
}

void HostSession::save(const std::string& file, bool stream) {
    HRESULT hr = E_NOINTERFACE;
    std::string why;
    if (stream) {
        if (auto persist = object_.as<IPersistStreamInit>()) {
            std::vector<std::uint8_t> bytes;
            hr = persist->save(bytes, true);
            if (succeeded(hr)) {
                std::string what;
                const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                            bytes.size());
                if (const int e = replaceFileAtomically(file, text, &what); e != 0) {
                    hr = STG_E_WRITEFAULT;
                    why = what + ": " + std::strerror(e);
                }
            }
        }
    } else if (auto persist = object_.as<IPersistPropertyBag>()) {
        auto bag = makeObject<TextPropertyBag>();
        hr = persist->save(bag.get(), true, true);
        if (succeeded(hr)) hr = bag->writeFile(file, &why);
    }
    if (failed(hr) && !why.empty())
        print("error " + formatHResult(hr) + " " + why);
    else
        reply(hr);
}

void HostSession::wait(const std::string& event, int ms) {
    const auto arrived = [&] { return seen_[event] > consumed_[event]; };
    if (!arrived()) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        waitingFor_ = event;
        waitLoop_ = &loop; // onEvent ends it when the event comes
        loop.exec();
        waitLoop_ = nullptr;
    }
    if (!arrived()) {
        print("error " + formatHResult(E_ABORT) + " no " + event + " within " + std::to_string(ms) +
              " ms");
        return;
    }
    ++consumed_[event];
    reply(S_OK);
}

void HostSession::grab(const std::string& file) {
    if (window_.width() <= 0 || window_.height() <= 0) {
        print("error " + formatHResult(E_UNEXPECTED) + " nothing to grab: the window is " +
              std::to_string(window_.width()) + " x " + std::to_string(window_.height()) +
              " pixels");
        return;
    }
    QImageWriter writer(QString::fromStdString(file), "PNG");
    if (writer.write(window_.grab().toImage()))
        reply(S_OK);
    else
        print("error " + formatHResult(STG_E_WRITEFAULT) + " cannot write " + echoed(file, 200) +
              ": " + writer.errorString().toStdString());
}

void HostSession::finish() {
    if (finished_) return;
    finished_ = true;
    input_.reset();
    if (control_) control_->close();
    if (auto source = object_.as<IEventSource>(); source && eventCookie_)
        source->unadvise(eventCookie_);
    if (auto notify = object_.as<IPropertyNotifySource>(); notify && notifyCookie_)
        notify->unadvisePropertyNotify(notifyCookie_);
    if (control_) control_->setClientSite(nullptr);
    control_.reset();
    dispatch_.reset();
    object_.reset();
    // What the control left for later deletion goes before its module may be unloaded.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    freeUnusedModules();
    if (QCoreApplication::instance()) QCoreApplication::quit();
}

} // namespace qxm::host
