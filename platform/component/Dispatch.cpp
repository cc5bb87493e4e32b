#include "platform/component/Dispatch.h"

#include <new>
#include <stdexcept>

namespace qxm {

HRESULT dispGet(IDispatch& d, DispId id, Variant& out, ExcepInfo* excep, Args index) {
    return d.invoke(id, DISPATCH_PROPERTYGET, index, &out, excep);
}

HRESULT dispGet(IDispatch& d, std::string_view name, Variant& out, ExcepInfo* excep, Args index) {
    DispId id = DISPID_UNKNOWN;
    HRESULT hr = d.getIdOfName(name, id);
    return failed(hr) ? hr : dispGet(d, id, out, excep, index);
}

HRESULT dispPut(IDispatch& d, DispId id, const Variant& value, ExcepInfo* excep, Args index) {
    std::vector<Variant> args(index.begin(), index.end());
    args.push_back(value);
    return d.invoke(id, DISPATCH_PROPERTYPUT, args, nullptr, excep);
}

HRESULT dispPut(IDispatch& d, std::string_view name, const Variant& value, ExcepInfo* excep,
                Args index) {
    DispId id = DISPID_UNKNOWN;
    HRESULT hr = d.getIdOfName(name, id);
    return failed(hr) ? hr : dispPut(d, id, value, excep, index);
}

HRESULT dispCall(IDispatch& d, DispId id, Args args, Variant* result, ExcepInfo* excep) {
    return d.invoke(id, DISPATCH_METHOD, args, result, excep);
}

HRESULT dispCall(IDispatch& d, std::string_view name, Args args, Variant* result,
                 ExcepInfo* excep) {
    DispId id = DISPID_UNKNOWN;
    HRESULT hr = d.getIdOfName(name, id);
    return failed(hr) ? hr : dispCall(d, id, args, result, excep);
}

Dispatchable::Dispatchable(InterfaceInfo header, std::string errorSource)
    : info_(std::move(header)), errorSource_(std::move(errorSource)) {
    std::vector<MemberInfo> given;
    given.swap(info_.members);
    for (auto& m : given)
        add(std::make_shared<const Entry>(Entry{std::move(m), {}, {}, {}}));
}

Dispatchable::~Dispatchable() = default;

void Dispatchable::add(std::shared_ptr<const Entry> entry) {
    const MemberInfo& info = entry->info;
    if (entries_.count(info.id) || info_.find(info.name))
        throw std::logic_error("dispatch member declared twice: " + info.name);
    info_.members.push_back(info);
    entries_.emplace(info.id, std::move(entry));
}

void Dispatchable::declareProperty(MemberInfo info, Getter get, Setter put) {
    info.kind = MemberKind::Property;
    if (!put) info.flags |= MEMBER_READONLY;
    add(std::make_shared<const Entry>(Entry{std::move(info), std::move(get), std::move(put), {}}));
}

void Dispatchable::declareMethod(MemberInfo info, Method call) {
    info.kind = MemberKind::Method;
    add(std::make_shared<const Entry>(Entry{std::move(info), {}, {}, std::move(call)}));
}

HRESULT Dispatchable::dispatchIdOfName(std::string_view name, DispId& id) const {
    const MemberInfo* m = info_.find(name);
    if (!m) return DISP_E_UNKNOWNNAME;
    id = m->id;
    return S_OK;
}

HRESULT Dispatchable::putReadOnly(const MemberInfo&, ExcepInfo* excep) {
    if (excep)
        *excep = ExcepInfo{CTL_E_SETNOTSUPPORTED, errorSource_, "Property is read-only", {}, 0};
    return DISP_E_EXCEPTION;
}

// Converts the member's parameters (args beyond them: `extra` trailing values stay as given).
HRESULT Dispatchable::convertArgs(const MemberInfo& m, Args args, std::size_t extra,
                                  std::vector<Variant>& out, std::uint32_t* argErr) const {
    std::size_t required = 0;
    for (const auto& p : m.params)
        if (!p.optional) ++required;
    if (args.size() < required + extra || args.size() > m.params.size() + extra)
        return DISP_E_BADPARAMCOUNT;
    std::size_t given = args.size() - extra;
    out.clear();
    out.reserve(m.params.size() + extra);
    for (std::size_t i = 0; i < m.params.size(); ++i) {
        const ParamInfo& p = m.params[i];
        const Variant& src = i < given ? args[i] : p.defaultValue;
        if (i >= given && !p.optional) {
            if (argErr) *argErr = std::uint32_t(i);
            return DISP_E_PARAMNOTOPTIONAL;
        }
        Variant v;
        HRESULT hr = p.type.vt == VarType::Empty ? (v = src, S_OK) : src.changeType(p.type.vt, v);
        if (failed(hr)) {
            if (argErr) *argErr = std::uint32_t(i);
            return DISP_E_TYPEMISMATCH;
        }
        out.push_back(std::move(v));
    }
    for (std::size_t i = given; i < args.size(); ++i)
        out.push_back(args[i]);
    return S_OK;
}

HRESULT Dispatchable::dispatchInvoke(DispId id, std::uint16_t flags, Args args, Variant* result,
                                     ExcepInfo* excep, std::uint32_t* argErr) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return DISP_E_MEMBERNOTFOUND;
    const std::shared_ptr<const Entry> held = it->second;
    const Entry& entry = *held;
    const MemberInfo& member = entry.info;
    try {
        std::vector<Variant> converted;
        Variant value;
        if (member.kind == MemberKind::Property && (flags & DISPATCH_PROPERTYPUT)) {
            if (!entry.put) return putReadOnly(member, excep);
            HRESULT hr = convertArgs(member, args, 1, converted, argErr);
            if (failed(hr)) return hr;
            Variant& v = converted.back();
            if (member.type.vt != VarType::Empty && failed(v.changeType(member.type.vt, v))) {
                if (argErr) *argErr = std::uint32_t(converted.size() - 1);
                return DISP_E_TYPEMISMATCH;
            }
            entry.put(Args(converted.data(), converted.size() - 1), v);
            return S_OK;
        }
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (member.kind == MemberKind::Property && !entry.get) return DISP_E_MEMBERNOTFOUND;
        if (member.kind == MemberKind::Method && !entry.call) return DISP_E_MEMBERNOTFOUND;
        HRESULT hr = convertArgs(member, args, 0, converted, argErr);
        if (failed(hr)) return hr;
        value = member.kind == MemberKind::Property ? entry.get(converted) : entry.call(converted);
        if (member.type.vt != VarType::Void && member.type.vt != VarType::Empty &&
            failed(value.changeType(member.type.vt, value)))
            return DISP_E_TYPEMISMATCH;
        if (result) *result = member.type.vt == VarType::Void ? Variant() : std::move(value);
        return S_OK;
    } catch (const ComError& e) {
        if (!e.hasInfo()) return e.scode();
        if (excep) {
            *excep = e.info();
            if (excep->source.empty()) excep->source = errorSource_;
        }
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        if (excep) *excep = ExcepInfo{E_FAIL, errorSource_, e.what(), {}, 0};
        return DISP_E_EXCEPTION;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

void ConnectionPoint::fire(DispId id, Args args) {
    sinks_.forEach([&](IDispatch& sink) {
        Variant ignored;
        sink.invoke(id, DISPATCH_METHOD, args, &ignored);
    });
}

void PropertyNotifier::changed(DispId id) {
    sinks_.forEach([&](IPropertyNotifySink& sink) { sink.onChanged(id); });
}

bool PropertyNotifier::requestEdit(DispId id) {
    bool allowed = true;
    sinks_.forEach([&](IPropertyNotifySink& sink) {
        if (allowed && sink.onRequestEdit(id) == S_FALSE) allowed = false;
    });
    return allowed;
}

namespace {

class FunctionSink : public Object<IDispatch> {
public:
    explicit FunctionSink(EventHandler h) : handler_(std::move(h)) {}
    HRESULT getIdOfName(std::string_view, DispId&) override { return DISP_E_UNKNOWNNAME; }
    HRESULT invoke(DispId id, std::uint16_t, Args args, Variant*, ExcepInfo*,
                   std::uint32_t*) override {
        return callGuarded<HRESULT>(E_FAIL, E_FAIL, [&] {
            if (handler_) handler_(id, args);
            return S_OK;
        });
    }
    HRESULT getTypeInfo(InterfaceInfo&) override { return E_NOTIMPL; }

private:
    EventHandler handler_;
};

} // namespace

ComPtr<IDispatch> makeEventSink(EventHandler handler) {
    return makeObject<FunctionSink>(std::move(handler));
}

} // namespace qxm
