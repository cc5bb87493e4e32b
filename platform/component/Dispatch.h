#pragma once
// Late-bound calls: members reached by dispatch id or by name (without regard to case), with
// arguments and results as Variants, errors as result codes with exception info; outgoing
// events delivered to connected sinks.
//
// Arguments are passed in their natural order (first parameter first). A property put passes
// the property's parameters, if any, followed by the new value as the last argument.
//
// A class declares its members in a table and gets dispatch for free:
//
//   class Counter : public qxm::DispatchObject<> {
//   public:
//       Counter() : DispatchObject({"_DCounter", kIid, qxm::InterfaceKind::DispInterface}) {
//           declareProperty({.id = 1, .name = "Count", .type = {qxm::VarType::I4}},
//               [this](qxm::Args) { return qxm::Variant(count_); },
//               [this](qxm::Args, const qxm::Variant& v) {
//                   if (v.asI4() < 0) throw qxm::ComError(qxm::CTL_E_INVALIDPROPERTYVALUE,
//                                                         "Invalid Property Value", 213);
//                   count_ = v.asI4();
//               });
//           declareMethod({.id = 2, .name = "Add", .type = {qxm::VarType::Void},
//                          .params = {{"n", {qxm::VarType::I4}}}},
//               [this](qxm::Args a) { count_ += a[0].asI4(); return qxm::Variant(); });
//       }
//   };
#include "platform/component/HResult.h"
#include "platform/component/TypeLib.h"
#include "platform/component/Unknown.h"
#include "platform/component/Variant.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qxm {

// Invoke flags; a get may be combined with METHOD, as scripts do for `x = obj.Item(1)`.
inline constexpr std::uint16_t DISPATCH_METHOD = 1;
inline constexpr std::uint16_t DISPATCH_PROPERTYGET = 2;
inline constexpr std::uint16_t DISPATCH_PROPERTYPUT = 4;

class IDispatch : public IUnknown {
public:
    static constexpr Guid iid = IID_IDispatch;
    using Base = IUnknown;
    // DISP_E_UNKNOWNNAME when no member has that name.
    virtual HRESULT getIdOfName(std::string_view name, DispId& id) = 0;
    // result and excep may be null. On DISP_E_EXCEPTION *excep says what happened; on
    // DISP_E_TYPEMISMATCH and DISP_E_PARAMNOTOPTIONAL *argErr is the index of the argument.
    virtual HRESULT invoke(DispId id, std::uint16_t flags, Args args, Variant* result,
                           ExcepInfo* excep = nullptr, std::uint32_t* argErr = nullptr) = 0;
    // The description of the interface this object dispatches (E_NOTIMPL if it has none).
    virtual HRESULT getTypeInfo(InterfaceInfo& out) = 0;
};

// Client helpers. The name forms look the id up first (DISP_E_UNKNOWNNAME if unknown).
HRESULT dispGet(IDispatch& d, DispId id, Variant& out, ExcepInfo* excep = nullptr, Args index = {});
HRESULT dispGet(IDispatch& d, std::string_view name, Variant& out, ExcepInfo* excep = nullptr,
                Args index = {});
HRESULT dispPut(IDispatch& d, DispId id, const Variant& value, ExcepInfo* excep = nullptr,
                Args index = {});
HRESULT dispPut(IDispatch& d, std::string_view name, const Variant& value,
                ExcepInfo* excep = nullptr, Args index = {});
HRESULT dispCall(IDispatch& d, DispId id, Args args = {}, Variant* result = nullptr,
                 ExcepInfo* excep = nullptr);
HRESULT dispCall(IDispatch& d, std::string_view name, Args args = {}, Variant* result = nullptr,
                 ExcepInfo* excep = nullptr);

// Member handlers. Arguments arrive already converted to the declared parameter types (and
// missing optional ones filled with their defaults), a put value converted to the property
// type; results are converted to the declared type. Handlers report errors by throwing
// ComError (with info: DISP_E_EXCEPTION to the caller; ComError::code: that code as is).
using Getter = std::function<Variant(Args index)>;
using Setter = std::function<void(Args index, const Variant& value)>;
using Method = std::function<Variant(Args args)>;

// The dispatch machinery over a member table; see DispatchObject for the usual use.
class Dispatchable {
public:
    explicit Dispatchable(InterfaceInfo header, std::string errorSource = {});
    virtual ~Dispatchable();

    // A property; without a setter it is read-only (MEMBER_READONLY is added) and a put
    // fails as putReadOnly says. Declaring an id or name twice throws std::logic_error.
    void declareProperty(MemberInfo info, Getter get, Setter put = {});
    void declareMethod(MemberInfo info, Method call);

    const InterfaceInfo& interfaceInfo() const { return info_; }

    HRESULT dispatchIdOfName(std::string_view name, DispId& id) const;
    HRESULT dispatchInvoke(DispId id, std::uint16_t flags, Args args, Variant* result,
                           ExcepInfo* excep, std::uint32_t* argErr);

protected:
    // A put on a read-only property: by default CTL_E_SETNOTSUPPORTED through
    // DISP_E_EXCEPTION with the description "Property is read-only".
    virtual HRESULT putReadOnly(const MemberInfo& member, ExcepInfo* excep);

private:
    struct Entry {
        MemberInfo info;
        Getter get;
        Setter put;
        Method call;
    };
    HRESULT convertArgs(const MemberInfo& m, Args args, std::size_t extra,
                        std::vector<Variant>& out, std::uint32_t* argErr) const;
    void add(std::shared_ptr<const Entry> entry);

    InterfaceInfo info_;
    std::string errorSource_;
    // Shared: a call keeps its entry alive even when a handler declares further members.
    std::map<DispId, std::shared_ptr<const Entry>> entries_;
};

// An object dispatching a member table: IDispatch plus any further interfaces Extra.
template <class... Extra>
class DispatchObject : public Object<IDispatch, Extra...>, public Dispatchable {
public:
    explicit DispatchObject(InterfaceInfo header, std::string errorSource = {})
        : Dispatchable(std::move(header), std::move(errorSource)) {}
    HRESULT getIdOfName(std::string_view name, DispId& id) override {
        return dispatchIdOfName(name, id);
    }
    HRESULT invoke(DispId id, std::uint16_t flags, Args args, Variant* result,
                   ExcepInfo* excep = nullptr, std::uint32_t* argErr = nullptr) override {
        return dispatchInvoke(id, flags, args, result, excep, argErr);
    }
    HRESULT getTypeInfo(InterfaceInfo& out) override {
        out = interfaceInfo();
        return S_OK;
    }
};

// Outgoing events: an object that fires events offers IEventSource; containers connect a
// sink (any IDispatch: the event's id is invoked as a method with the event's arguments).
class IEventSource : public IUnknown {
public:
    static constexpr Guid iid = IID_IConnectionPointContainer;
    using Base = IUnknown;
    // eventIid names the outgoing interface (IID_NULL: the default one). The source holds a
    // reference to the sink until unadvise. CONNECT_E_CANNOTCONNECT for an unknown interface.
    virtual HRESULT advise(const Guid& eventIid, IDispatch* sink, std::uint32_t& cookie) = 0;
    // CONNECT_E_NOCONNECTION for an unknown cookie.
    virtual HRESULT unadvise(std::uint32_t cookie) = 0;
};

// Connected sinks with cookies, safe to change while being walked: forEach visits the sinks
// connected when it starts, in connection order, skipping any disconnected meanwhile (by a
// visited sink or anyone else) and holding a reference to each sink through its visit.
template <class Sink> class SinkList {
public:
    HRESULT advise(Sink* sink, std::uint32_t& cookie) {
        if (!sink) return E_POINTER;
        std::lock_guard lock(mutex_);
        cookie = nextCookie_++;
        sinks_.emplace(cookie, ComPtr<Sink>(sink));
        return S_OK;
    }
    // CONNECT_E_NOCONNECTION for an unknown cookie.
    HRESULT unadvise(std::uint32_t cookie) {
        ComPtr<Sink> gone; // released after the lock
        std::lock_guard lock(mutex_);
        auto it = sinks_.find(cookie);
        if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
        gone = std::move(it->second);
        sinks_.erase(it);
        return S_OK;
    }
    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return sinks_.size();
    }
    template <class F> void forEach(F visit) {
        std::vector<std::uint32_t> cookies;
        {
            std::lock_guard lock(mutex_);
            for (const auto& entry : sinks_)
                cookies.push_back(entry.first);
        }
        for (std::uint32_t cookie : cookies) {
            ComPtr<Sink> sink;
            {
                std::lock_guard lock(mutex_);
                auto it = sinks_.find(cookie);
                if (it == sinks_.end()) continue;
                sink = it->second;
            }
            visit(*sink);
        }
    }

private:
    mutable std::mutex mutex_;
    std::uint32_t nextCookie_ = 1;
    std::map<std::uint32_t, ComPtr<Sink>> sinks_;
};

// The sinks of one outgoing interface, for an object implementing IEventSource. Delivery
// follows SinkList::forEach (a sink connected during delivery receives the next event);
// sinks' results are ignored.
class ConnectionPoint {
public:
    explicit ConnectionPoint(Guid eventIid = IID_NULL) : iid_(eventIid) {}
    const Guid& eventIid() const { return iid_; }
    HRESULT advise(IDispatch* sink, std::uint32_t& cookie) { return sinks_.advise(sink, cookie); }
    HRESULT unadvise(std::uint32_t cookie) { return sinks_.unadvise(cookie); }
    std::size_t sinkCount() const { return sinks_.size(); }
    void fire(DispId id, Args args = {});
    void fire(DispId id, std::initializer_list<Variant> args) {
        fire(id, Args(args.begin(), args.size()));
    }

private:
    Guid iid_;
    SinkList<IDispatch> sinks_;
};

// Property-change notification: what a container connects to hear that a property changed
// (the stand-in of bindable properties' notifications).
inline constexpr Guid IID_IPropertyNotifySink =
    Guid::literal("{9BFBBC02-EFF1-101A-84ED-00AA00341D07}");

class IPropertyNotifySink : public IUnknown {
public:
    static constexpr Guid iid = IID_IPropertyNotifySink;
    using Base = IUnknown;
    virtual HRESULT onChanged(DispId id) = 0;
    // S_OK allows the change, S_FALSE refuses it.
    virtual HRESULT onRequestEdit(DispId id) = 0;
};

// Offered by objects that notify property changes.
class IPropertyNotifySource : public IUnknown {
public:
    static constexpr Guid iid = Guid::literal("{6E1B4C10-5F2A-4D3B-8C7E-3A9F0B1D2E41}");
    using Base = IUnknown;
    virtual HRESULT advisePropertyNotify(IPropertyNotifySink* sink, std::uint32_t& cookie) = 0;
    virtual HRESULT unadvisePropertyNotify(std::uint32_t cookie) = 0;
};

// The sinks of property-change notification, for an object implementing IPropertyNotifySource.
class PropertyNotifier {
public:
    HRESULT advise(IPropertyNotifySink* sink, std::uint32_t& cookie) {
        return sinks_.advise(sink, cookie);
    }
    HRESULT unadvise(std::uint32_t cookie) { return sinks_.unadvise(cookie); }
    std::size_t sinkCount() const { return sinks_.size(); }
    // Tells every sink that the property changed.
    void changed(DispId id);
    // Whether every sink allows the change (true without sinks).
    bool requestEdit(DispId id);

private:
    SinkList<IPropertyNotifySink> sinks_;
};

// A sink that hands every event to a function: what containers and tests connect.
using EventHandler = std::function<void(DispId id, Args args)>;
ComPtr<IDispatch> makeEventSink(EventHandler handler);

// What an object tells about its class: the library it belongs to and its class id.
class ITypeInfoProvider : public IUnknown {
public:
    static constexpr Guid iid = IID_IProvideClassInfo;
    using Base = IUnknown;
    virtual HRESULT getClassInfo(TypeLibrary& library, Guid& clsid) = 0;
};

} // namespace qxm
