// A small component module for the tests: one dispatchable class with events and a second
// plain class, registered with a type library and a category.
#include "TestModuleIds.h"
#include "platform/activation/Module.h"
#include "platform/activation/ModuleEntries.h"
#include "platform/component/Dispatch.h"

using namespace qxm;

namespace {

ModuleLife g_life;

TypeLibrary describeLibrary();

class Counter : public DispatchObject<IEventSource, ITypeInfoProvider> {
public:
    Counter()
        : DispatchObject(InterfaceInfo{"_DCounter",
                                       kCounterIid,
                                       InterfaceKind::DispInterface,
                                       TYPE_DISPATCHABLE,
                                       "Counter interface",
                                       {}},
                         "QxmTest.Counter"),
          events_(kCounterEventsIid) {
        declareProperty(
            {.id = 1, .name = "Count", .type = {VarType::I4}},
            [this](Args) { return Variant(count_); },
            [this](Args, const Variant& v) {
                if (v.asI4() < 0)
                    throw ComError(CTL_E_INVALIDPROPERTYVALUE, "Invalid Property Value", 213);
                set(v.asI4());
            });
        declareProperty({.id = 2, .name = "Label", .type = {VarType::BStr}, .flags = MEMBER_HIDDEN},
                        [](Args) { return Variant("counter"); });
        declareMethod(
            {.id = 3, .name = "Add", .type = {VarType::I4}, .params = {{"n", {VarType::I4}}}},
            [this](Args a) {
                set(count_ + a[0].asI4());
                return Variant(count_);
            });
    }
    HRESULT advise(const Guid& eventIid, IDispatch* sink, std::uint32_t& cookie) override {
        if (!eventIid.isNull() && eventIid != events_.eventIid()) return CONNECT_E_CANNOTCONNECT;
        return events_.advise(sink, cookie);
    }
    HRESULT unadvise(std::uint32_t cookie) override { return events_.unadvise(cookie); }
    HRESULT getClassInfo(TypeLibrary& library, Guid& clsid) override {
        library = describeLibrary();
        clsid = kCounterClsid;
        return S_OK;
    }

private:
    void set(std::int32_t v) {
        std::int32_t old = count_;
        count_ = v;
        events_.fire(1, {Variant(old), Variant(v)});
    }
    ModuleObjectToken token_{g_life};
    ConnectionPoint events_;
    std::int32_t count_ = 0;
};

class Plain : public Object<IUnknown> {
    ModuleObjectToken token_{g_life};
};

TypeLibrary describeLibrary() {
    TypeLibrary lib;
    lib.name = "QxmTestLib";
    lib.libid = kTestLibId;
    lib.majorVersion = 1;
    lib.minorVersion = 2;
    lib.helpString = "Test library";
    lib.flags = TYPE_CONTROL;
    InterfaceInfo info;
    Counter().getTypeInfo(info);
    lib.interfaces.push_back(info);
    lib.interfaces.push_back(
        {"_DCounterEvents",
         kCounterEventsIid,
         InterfaceKind::DispInterface,
         TYPE_DISPATCHABLE,
         "Counter events",
         {{.id = 1,
           .name = "Changed",
           .type = {VarType::Void},
           .params = {{"oldCount", {VarType::I4}}, {"newCount", {VarType::I4}}}}}});
    lib.coclasses.push_back({"Counter",
                             kCounterClsid,
                             TYPE_CREATABLE | TYPE_CONTROL,
                             "Counter",
                             {{"_DCounter", true, false}, {"_DCounterEvents", true, true}}});
    return lib;
}

ModuleRegistration describeModule() {
    static const TypeLibrary lib = describeLibrary();
    ModuleRegistration m;
    m.modulePath = modulePathOf(reinterpret_cast<const void*>(&describeModule));
    m.typeLibrary = &lib;
    ClassEntry counter;
    counter.clsid = kCounterClsid;
    counter.name = "Test Counter";
    counter.progId = "QxmTest.Counter.1";
    counter.control = true;
    counter.toolboxBitmap = 1;
    counter.miscStatus = 0x00020191;
    counter.typeLib = kTestLibId;
    counter.typeLibVersion = "1.2";
    ClassEntry plain;
    plain.clsid = kPlainClsid;
    plain.name = "Test Plain";
    plain.progId = "QxmTest.Plain";
    m.classes = {counter, plain};
    m.categories = {
        {kCounterClsid, {{CATID_SafeForScripting, 1033, "Controls that are safely scriptable"}}}};
    return m;
}

// Constructed at load, destroyed at unload.
const ComPtr<ClassFactory> g_counterFactory = makeClassFactory<Counter>(g_life);
const ComPtr<ClassFactory> g_plainFactory = makeClassFactory<Plain>(g_life);
const ClassObjectEntry g_classes[] = {{kCounterClsid, g_counterFactory.get()},
                                      {kPlainClsid, g_plainFactory.get()}};

} // namespace

HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid, void** ppv) {
    return getClassObjectFrom(g_classes, clsid, iid, ppv);
}

HRESULT DllCanUnloadNow() {
    return g_life.canUnload() ? S_OK : S_FALSE;
}

HRESULT DllRegisterServer() {
    try {
        return registerModule(describeModule());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT DllUnregisterServer() {
    try {
        return unregisterModule(describeModule());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}
