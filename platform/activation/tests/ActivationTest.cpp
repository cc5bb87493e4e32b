#include "platform/activation/Activation.h"
#include "TestModuleIds.h"
#include "platform/activation/Categories.h"
#include "platform/activation/Module.h"
#include "platform/activation/ModuleEntries.h"
#include "platform/component/Dispatch.h"
#include "platform/registry/Registry.h"
#include "platform/registry/tests/TempRegistry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <dlfcn.h>
#include <sys/wait.h>

using namespace qxm;

namespace {

const std::string kModule = QXM_TEST_MODULE;
const std::string kNoEntryModule = QXM_TEST_NOENTRY_MODULE;

bool moduleMapped(const std::string& path) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

class Activation : public ::testing::Test {
protected:
    void SetUp() override {
        std::string message;
        ASSERT_EQ(runModuleRegistration(kModule, false, &message), S_OK) << message;
    }
    void TearDown() override { freeUnusedModules(); }
    TempRegistry tmp_;
};

struct ToolResult {
    int exitCode = -1;
    std::string out;
};

ToolResult runTool(const std::string& args) {
    std::string cmd = std::string(std::getenv("QXM_BIN_DIR")) + "/qxmregsvr " + args + " 2>&1";
    ToolResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 256> buf;
    while (std::fgets(buf.data(), buf.size(), p))
        r.out += buf.data();
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace

TEST_F(Activation, RegistrationWritesLibraryClassesProgIdsAndCategories) {
    Registry reg;
    ClassEntry c;
    ASSERT_EQ(reg.findClass(kCounterClsid, c), S_OK);
    char real[4096];
    ASSERT_TRUE(realpath(kModule.c_str(), real));
    EXPECT_EQ(c.modulePath, real);
    EXPECT_EQ(c.progId, "QxmTest.Counter.1");
    EXPECT_EQ(c.miscStatus, 0x00020191u);
    EXPECT_EQ(c.typeLibVersion, "1.2");
    TypeLibEntry lib;
    ASSERT_EQ(reg.findTypeLib(kTestLibId, 1, 2, lib), S_OK);
    EXPECT_EQ(lib.name, "Test library");
    EXPECT_TRUE(lib.control);
    std::vector<Guid> cats;
    ASSERT_EQ(reg.implementedCategories(kCounterClsid, cats), S_OK);
    EXPECT_EQ(cats, std::vector<Guid>{CATID_SafeForScripting});
    CategoryEntry cat;
    ASSERT_EQ(reg.findCategory(CATID_SafeForScripting, cat), S_OK);
    EXPECT_EQ(*cat.description(1033), "Controls that are safely scriptable");
}

TEST_F(Activation, CreatesByClassIdAndProgIdAndDispatchesAcrossTheModule) {
    ComPtr<IDispatch> byId, byProgId, byIndependent;
    std::string message;
    ASSERT_EQ(createInstance(kCounterClsid, byId, &message), S_OK) << message;
    ASSERT_EQ(createInstanceByProgId("qxmtest.counter.1", byProgId, &message), S_OK) << message;
    ASSERT_EQ(createInstanceByProgId("QxmTest.Counter", byIndependent, &message), S_OK) << message;
    EXPECT_NE(byId.get(), byProgId.get()); // separate instances

    std::vector<std::pair<DispId, std::vector<Variant>>> events;
    ComPtr<IEventSource> source = byId.as<IEventSource>();
    ASSERT_TRUE(source);
    std::uint32_t cookie = 0;
    ASSERT_EQ(source->advise(kCounterEventsIid,
                             makeEventSink([&](DispId id, Args a) {
                                 events.emplace_back(id, std::vector<Variant>(a.begin(), a.end()));
                             }).get(),
                             cookie),
              S_OK);
    EXPECT_EQ(source->advise(kCounterIid, makeEventSink({}).get(), cookie),
              CONNECT_E_CANNOTCONNECT);

    Variant r;
    EXPECT_EQ(dispCall(*byId, "add", std::vector<Variant>{Variant("5")}, &r), S_OK);
    EXPECT_EQ(r, Variant(5));
    ExcepInfo e;
    EXPECT_EQ(dispPut(*byId, "Count", Variant(-1), &e), DISP_E_EXCEPTION);
    EXPECT_EQ(std::uint32_t(e.scode), 0x800A017Cu);
    EXPECT_EQ(e.description, "Invalid Property Value");
    EXPECT_EQ(e.helpContext, 213u);
    EXPECT_EQ(e.source, "QxmTest.Counter");
    EXPECT_EQ(dispPut(*byId, "Label", Variant("x"), &e), DISP_E_EXCEPTION);
    EXPECT_EQ(e.scode, CTL_E_SETNOTSUPPORTED);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, 1);
    EXPECT_EQ(events[0].second, (std::vector<Variant>{Variant(0), Variant(5)}));
    EXPECT_EQ(source->unadvise(cookie), S_OK);

    // The type library, read from the object.
    ComPtr<ITypeInfoProvider> info = byId.as<ITypeInfoProvider>();
    ASSERT_TRUE(info);
    TypeLibrary lib;
    Guid clsid;
    ASSERT_EQ(info->getClassInfo(lib, clsid), S_OK);
    EXPECT_EQ(clsid, kCounterClsid);
    EXPECT_EQ(lib.validate(), S_OK);
    ASSERT_TRUE(lib.findCoClass(clsid));
    const InterfaceInfo* events_itf = lib.defaultInterface(*lib.findCoClass(clsid), true);
    ASSERT_TRUE(events_itf);
    EXPECT_EQ(events_itf->find(1)->name, "Changed");
    EXPECT_TRUE(lib.findInterface("_DCounter")->find("Label")->has(MEMBER_HIDDEN));
    EXPECT_TRUE(lib.findInterface("_DCounter")->find("Label")->has(MEMBER_READONLY));
}

TEST_F(Activation, FailuresAreDistinct) {
    ComPtr<IDispatch> d;
    std::string message;
    const Guid unknown = Guid::create();
    EXPECT_EQ(createInstance(unknown, d, &message), REGDB_E_CLASSNOTREG);
    EXPECT_NE(message.find(unknown.toString()), std::string::npos);
    EXPECT_EQ(createInstanceByProgId("No.Such.1", d, &message), CO_E_CLASSSTRING);
    EXPECT_NE(message.find("No.Such.1"), std::string::npos);

    Registry reg;
    ClassEntry missing;
    missing.clsid = Guid::create();
    missing.modulePath = tmp_.dir() + "/libgone.so";
    ASSERT_EQ(reg.registerClass(missing), S_OK);
    EXPECT_EQ(createInstance(missing.clsid, d, &message), CO_E_DLLNOTFOUND);
    EXPECT_NE(message.find("libgone.so"), std::string::npos);

    ClassEntry notAModule = missing;
    notAModule.clsid = Guid::create();
    notAModule.modulePath = tmp_.path(); // the registry file itself
    ASSERT_EQ(reg.registerClass(notAModule), S_OK);
    EXPECT_EQ(createInstance(notAModule.clsid, d, &message), CO_E_DLLNOTFOUND);

    ClassEntry noEntry = missing;
    noEntry.clsid = Guid::create();
    noEntry.modulePath = kNoEntryModule;
    ASSERT_EQ(reg.registerClass(noEntry), S_OK);
    EXPECT_EQ(createInstance(noEntry.clsid, d, &message), CO_E_ERRORINDLL);
    EXPECT_NE(message.find("DllGetClassObject"), std::string::npos);

    // Registered to the module, but the module does not serve it.
    ClassEntry stranger = missing;
    stranger.clsid = Guid::create();
    stranger.modulePath = kModule;
    ASSERT_EQ(reg.registerClass(stranger), S_OK);
    EXPECT_EQ(createInstance(stranger.clsid, d, &message), CLASS_E_CLASSNOTAVAILABLE);

    // The plain class offers no dispatch interface.
    EXPECT_EQ(createInstance(kPlainClsid, d, &message), E_NOINTERFACE);
    ComPtr<IUnknown> plain;
    EXPECT_EQ(createInstanceByProgId("QxmTest.Plain", plain, &message), S_OK);
    EXPECT_FALSE(d);
}

TEST_F(Activation, ModuleUnloadsAfterTheLastObjectAndLock) {
    char real[4096];
    ASSERT_TRUE(realpath(kModule.c_str(), real));
    const std::string path = real;
    freeUnusedModules();
    ASSERT_FALSE(moduleMapped(path));

    ComPtr<IDispatch> a, b;
    ASSERT_EQ(createInstance(kCounterClsid, a), S_OK);
    ASSERT_EQ(createInstance(kCounterClsid, b), S_OK);
    EXPECT_TRUE(isModuleLoaded(path));
    a.reset();
    EXPECT_EQ(freeUnusedModules(), 0u); // b is alive
    EXPECT_TRUE(moduleMapped(path));

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(kCounterClsid, IClassFactory::iid, factory.putVoid()), S_OK);
    ASSERT_EQ(factory->lockServer(true), S_OK);
    factory.reset();
    b.reset();
    EXPECT_EQ(freeUnusedModules(), 0u); // locked
    EXPECT_TRUE(moduleMapped(path));

    ASSERT_EQ(getClassObject(kCounterClsid, IClassFactory::iid, factory.putVoid()), S_OK);
    EXPECT_EQ(factory->createInstance(factory.get(), IDispatch::iid, b.putVoid()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->lockServer(false), S_OK);
    factory.reset();
    EXPECT_EQ(freeUnusedModules(), 1u);
    EXPECT_FALSE(isModuleLoaded(path));
    EXPECT_FALSE(moduleMapped(path));

    // And it loads again on demand.
    ASSERT_EQ(createInstance(kCounterClsid, a), S_OK);
    Variant v;
    EXPECT_EQ(dispGet(*a, "Count", v), S_OK);
    EXPECT_EQ(v, Variant(0));
}

TEST_F(Activation, UnregisteringRemovesClassesButNotCategories) {
    std::string message;
    ASSERT_EQ(runModuleRegistration(kModule, true, &message), S_OK) << message;
    ComPtr<IDispatch> d;
    EXPECT_EQ(createInstance(kCounterClsid, d), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(createInstanceByProgId("QxmTest.Counter.1", d), CO_E_CLASSSTRING);
    Registry reg;
    TypeLibEntry lib;
    EXPECT_EQ(reg.findTypeLib(kTestLibId, 1, 2, lib), TYPE_E_LIBNOTREGISTERED);
    std::vector<Guid> cats;
    ASSERT_EQ(reg.implementedCategories(kCounterClsid, cats), S_OK);
    EXPECT_EQ(cats, std::vector<Guid>{CATID_SafeForScripting});
    CategoryEntry cat;
    EXPECT_EQ(reg.findCategory(CATID_SafeForScripting, cat), S_OK);
}

TEST_F(Activation, CategoryManagerFailureDoesNotFailRegistration) {
    TempRegistry fresh; // an empty registry for this run
    setCategoryManagerFactory([] { return std::make_unique<FailingCategoryManager>(E_FAIL); });
    std::string message;
    HRESULT hr = runModuleRegistration(kModule, false, &message);
    setCategoryManagerFactory(nullptr);
    ASSERT_EQ(hr, S_OK) << message;
    Registry reg;
    ClassEntry c;
    EXPECT_EQ(reg.findClass(kCounterClsid, c), S_OK);
    std::vector<Guid> cats;
    ASSERT_EQ(reg.implementedCategories(kCounterClsid, cats), S_OK);
    EXPECT_TRUE(cats.empty());

    // A manager that cannot be created at all.
    setCategoryManagerFactory([] { return std::unique_ptr<ICategoryManager>(); });
    hr = runModuleRegistration(kModule, false, &message);
    setCategoryManagerFactory(nullptr);
    EXPECT_EQ(hr, S_OK);
}

TEST_F(Activation, RegistrationFailuresUseTheSelfRegistrationCodes) {
    // The registry file is broken: the type library (written first) fails.
    {
        FILE* f = std::fopen(tmp_.path().c_str(), "a");
        ASSERT_TRUE(f);
        std::fputs("broken\n", f);
        std::fclose(f);
    }
    std::string message;
    EXPECT_EQ(runModuleRegistration(kModule, false, &message), SELFREG_E_TYPELIB);
    EXPECT_EQ(runModuleRegistration(kModule, true, &message), SELFREG_E_TYPELIB);

    ModuleRegistration noLib;
    noLib.modulePath = kModule;
    ClassEntry c;
    c.clsid = Guid::create();
    noLib.classes = {c};
    EXPECT_EQ(registerModule(noLib), SELFREG_E_CLASS);
}

TEST_F(Activation, RegistrationToolReportsCodes) {
    ToolResult r = runTool("-u " + kModule);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "0x00000000\n");
    ComPtr<IDispatch> d;
    EXPECT_EQ(createInstance(kCounterClsid, d), REGDB_E_CLASSNOTREG);

    r = runTool(kModule);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "0x00000000\n");
    EXPECT_EQ(createInstance(kCounterClsid, d), S_OK);

    r = runTool(kNoEntryModule); // its DllRegisterServer fails
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("0x80004005"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Unspecified error"), std::string::npos) << r.out;

    r = runTool("-u " + kNoEntryModule);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.out.find("DllUnregisterServer"), std::string::npos) << r.out;

    r = runTool(tmp_.dir() + "/missing.so");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.out.find("cannot load module"), std::string::npos) << r.out;

    r = runTool("");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.out.find("usage"), std::string::npos);
}
