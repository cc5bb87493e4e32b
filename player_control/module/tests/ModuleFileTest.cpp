// libqxmovie.so as containers and tools meet it: its entries, its resources, what it writes
// into the registry, and creating its classes through the registry.
#include "TestApplication.h"
#include <QApplication>

#include <dlfcn.h>
#include <fstream>

#include "platform/activation/Activation.h"
#include "platform/activation/Categories.h"
#include "platform/activation/Module.h"
#include "platform/activation/ModuleEntries.h"
#include "platform/activation/ModuleResources.h"
#include "platform/component/Persist.h"
#include "platform/hosting/ControlHosting.h"
#include "platform/hosting/PropertyPages.h"
#include "platform/registry/Registry.h"
#include "platform/registry/tests/TempRegistry.h"
#include "player_control/control/tests/ControlTestSupport.h"
#include "player_control/definitions/QXMovieIds.h"

using namespace qxm;
using namespace qxm::qxmovie;

namespace {

std::string modulePath() {
    return std::string(std::getenv("QXM_LIB_DIR")) + "/libqxmovie.so";
}

class ModuleFile : public ::testing::Test {
protected:
    void SetUp() override { testApplication(); }
    void TearDown() override {
        setCategoryManagerFactory({});
        freeUnusedModules();
    }
    HRESULT reg(bool unregister = false) {
        std::string message;
        return runModuleRegistration(modulePath(), unregister, &message);
    }
    TempRegistry registry_;
};

} // namespace

TEST_F(ModuleFile, ExportsTheFourEntriesAndNothingElse) {
    void* module = dlopen(modulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(module) << dlerror();
    for (const char* entry :
         {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"})
        EXPECT_TRUE(dlsym(module, entry)) << entry;
    EXPECT_FALSE(dlsym(module, "QXMovieCreateControl"));
    EXPECT_FALSE(dlsym(module, "_ZN3qxm7qxmovie12CQXMovieCtrl12CreateEngineEv"));

    auto get = reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(get(&kClsidQXMovie, &IClassFactory::iid, nullptr), E_POINTER);
    EXPECT_EQ(get(&kLibidQXMOVIELib, &IClassFactory::iid, factory.putVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    for (const Guid* clsid :
         {&kClsidQXMovie, &kClsidGeneralPage, &kClsidMovieFilePage, &kClsidCursorFilePage}) {
        ASSERT_EQ(get(clsid, &IClassFactory::iid, factory.putVoid()), S_OK);
        ComPtr<IUnknown> object;
        EXPECT_EQ(factory->createInstance(nullptr, IID_IUnknown, object.putVoid()), S_OK);
        ComPtr<IUnknown> aggregated;
        EXPECT_EQ(factory->createInstance(object.get(), IID_IUnknown, aggregated.putVoid()),
                  CLASS_E_NOAGGREGATION);
    }
    factory.reset();
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(dlsym(module, "DllCanUnloadNow"));
    EXPECT_EQ(canUnload(), S_OK);
    dlclose(module);
}

TEST_F(ModuleFile, VersionBlockAndToolboxBitmapAreReadableFromTheFile) {
    VersionInfo info;
    ASSERT_EQ(readModuleVersionInfo(modulePath(), info), S_OK);
    EXPECT_EQ(versionValue(info, "FileVersion"), "2.00.0021");
    EXPECT_EQ(versionValue(info, "ProductVersion"), "2.00.0021");
    EXPECT_EQ(versionValue(info, "FileDescription"), "QX-MOVIE ActiveX Control Module");
    EXPECT_EQ(versionValue(info, "InternalName"), "QXMOVIE");
    EXPECT_EQ(versionValue(info, "OriginalFilename"), "QXMOVIE.OCX");

    std::string bmp;
    ASSERT_EQ(findModuleResource(modulePath(), "BITMAP", 1, bmp), S_OK);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    auto le32 = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(bmp[at])) |
               std::uint32_t(std::uint8_t(bmp[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(bmp[at + 2])) << 16 |
               std::uint32_t(std::uint8_t(bmp[at + 3])) << 24;
    };
    EXPECT_EQ(le32(2), bmp.size());
    EXPECT_EQ(le32(18), 16u); // width
    EXPECT_EQ(le32(22), 15u); // height

    std::string message;
    EXPECT_EQ(findModuleResource(modulePath(), "BITMAP", 2, bmp, &message), E_INVALIDARG);
    EXPECT_NE(message.find("BITMAP 2"), std::string::npos);
    std::vector<ModuleResource> none;
    EXPECT_EQ(
        readModuleResources(std::string(std::getenv("QXM_LIB_DIR")) + "/libqxmplatform.so", none),
        S_OK);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(readModuleResources(registry_.dir() + "/missing.so", none), CO_E_DLLNOTFOUND);
    const std::string text = registry_.dir() + "/text.so";
    std::ofstream(text) << "not a module";
    EXPECT_EQ(readModuleResources(text, none, &message), E_FAIL);
    EXPECT_NE(message.find("ELF"), std::string::npos);
}

TEST_F(ModuleFile, RegistersTheControlItsPagesTypeLibraryAndCategories) {
    ASSERT_EQ(reg(), S_OK);
    Registry r;
    ClassEntry c;
    ASSERT_EQ(r.findClass(kClsidQXMovie, c), S_OK);
    EXPECT_EQ(c.name, "QX-MOVIE ActiveX Control");
    EXPECT_EQ(c.modulePath, std::filesystem::canonical(modulePath()).string());
    EXPECT_EQ(c.progId, "QXMOVIE.QXMovieCtrl.2");
    EXPECT_EQ(c.threadingModel, "Apartment");
    EXPECT_TRUE(c.control);
    EXPECT_FALSE(c.insertable);
    EXPECT_EQ(c.toolboxBitmap, 1);
    EXPECT_EQ(c.miscStatus, 0x00020191u);
    EXPECT_EQ(c.typeLib, kLibidQXMOVIELib);
    EXPECT_EQ(c.typeLibVersion, "2.0");

    const std::pair<const char*, Guid> progIds[] = {
        {"QXMOVIE.QXMovieCtrl.2", kClsidQXMovie},
        {"QXMOVIE.QXMovieCtrl", kClsidQXMovie},
        {"QXMOVIE.QXMoviePropPage.2", kClsidGeneralPage},
        {"QXMovie.CQXMoviePropPage2", kClsidMovieFilePage},
        {"QXMovie.CQXMoviePropPage3", kClsidCursorFilePage}};
    for (const auto& [progId, clsid] : progIds) {
        Guid found;
        EXPECT_EQ(r.clsidFromProgId(progId, found), S_OK) << progId;
        EXPECT_EQ(found, clsid) << progId;
    }
    const std::pair<Guid, const char*> pages[] = {
        {kClsidGeneralPage, "QX-MOVIE ActiveX Control Property Page"},
        {kClsidMovieFilePage, "QX-MOVIE ActiveX Control Property Page Movie File Select"},
        {kClsidCursorFilePage, "QX-MOVIE ActiveX Control Property Page Cursor File Select"}};
    for (const auto& [clsid, name] : pages) {
        ClassEntry p;
        ASSERT_EQ(r.findClass(clsid, p), S_OK);
        EXPECT_EQ(p.name, name);
        EXPECT_FALSE(p.control);
        EXPECT_EQ(p.modulePath, c.modulePath);
    }

    TypeLibEntry lib;
    ASSERT_EQ(r.findTypeLib(kLibidQXMOVIELib, 2, 0, lib), S_OK);
    EXPECT_EQ(lib.name, "QX-MOVIE ActiveX");
    EXPECT_TRUE(lib.control);
    EXPECT_EQ(lib.modulePath, c.modulePath);

    CategoryEntry cat;
    ASSERT_EQ(r.findCategory(CATID_SafeForScripting, cat), S_OK);
    ASSERT_TRUE(cat.description(1033));
    EXPECT_EQ(*cat.description(1033), "Controls that are safely scriptable");
    ASSERT_EQ(r.findCategory(CATID_SafeForInitializing, cat), S_OK);
    ASSERT_TRUE(cat.description(1033));
    EXPECT_EQ(*cat.description(1033), "Controls safely initializable from persistent data");
    std::vector<Guid> implemented;
    ASSERT_EQ(r.implementedCategories(kClsidQXMovie, implemented), S_OK);
    EXPECT_EQ(implemented, (std::vector<Guid>{CATID_SafeForScripting, CATID_SafeForInitializing}));

    // Registering again changes nothing.
    std::ifstream first(registry_.path());
    const std::string before((std::istreambuf_iterator<char>(first)), {});
    ASSERT_EQ(reg(), S_OK);
    std::ifstream second(registry_.path());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(second)), {}), before);

    // Unregistering takes the classes, ProgIDs and type library; categories and marks stay.
    ASSERT_EQ(reg(true), S_OK);
    EXPECT_EQ(r.findClass(kClsidQXMovie, c), REGDB_E_CLASSNOTREG);
    for (const auto& [clsid, name] : pages)
        EXPECT_EQ(r.findClass(clsid, c), REGDB_E_CLASSNOTREG) << name;
    for (const auto& [progId, clsid] : progIds) {
        Guid found;
        EXPECT_EQ(r.clsidFromProgId(progId, found), CO_E_CLASSSTRING) << progId;
    }
    EXPECT_EQ(r.findTypeLib(kLibidQXMOVIELib, 2, 0, lib), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(r.findCategory(CATID_SafeForScripting, cat), S_OK);
    EXPECT_EQ(r.findCategory(CATID_SafeForInitializing, cat), S_OK);
    ASSERT_EQ(r.implementedCategories(kClsidQXMovie, implemented), S_OK);
    EXPECT_EQ(implemented.size(), 2u);
    EXPECT_EQ(reg(true), S_OK); // nothing left to remove is no failure
}

TEST_F(ModuleFile, CategoryManagerFailuresDoNotFailTheRegistration) {
    setCategoryManagerFactory([] { return std::make_unique<FailingCategoryManager>(); });
    ASSERT_EQ(reg(), S_OK);
    Registry r;
    ClassEntry c;
    EXPECT_EQ(r.findClass(kClsidQXMovie, c), S_OK);
    CategoryEntry cat;
    EXPECT_EQ(r.findCategory(CATID_SafeForScripting, cat), REGDB_E_KEYMISSING);
    std::vector<Guid> implemented;
    r.implementedCategories(kClsidQXMovie, implemented);
    EXPECT_TRUE(implemented.empty());

    setCategoryManagerFactory([] { return std::unique_ptr<ICategoryManager>(); });
    ASSERT_EQ(reg(true), S_OK);
    ASSERT_EQ(reg(), S_OK);
    EXPECT_EQ(r.findClass(kClsidQXMovie, c), S_OK);
}

TEST_F(ModuleFile, AnUnwritableRegistryFailsAtTheTypeLibraryAndIsLeftAlone) {
    std::filesystem::create_directories(std::filesystem::path(registry_.path()).parent_path());
    std::ofstream(registry_.path()) << "[class {not a registry\n";
    EXPECT_EQ(reg(), SELFREG_E_TYPELIB);
    EXPECT_EQ(reg(true), SELFREG_E_TYPELIB);
    std::ifstream in(registry_.path());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "[class {not a registry\n");
}

TEST_F(ModuleFile, ClassesAreCreatedByProgIdAndTheModuleUnloadsWhenTheLastGoes) {
    ComPtr<IUnknown> object;
    std::string message;
    EXPECT_EQ(createInstanceByProgId("QXMOVIE.QXMovieCtrl.2", object, &message), CO_E_CLASSSTRING);
    ASSERT_EQ(reg(), S_OK);

    ASSERT_EQ(createInstanceByProgId("QXMOVIE.QXMovieCtrl.2", object, &message), S_OK) << message;
    EXPECT_TRUE(object.as<IControlObject>());
    EXPECT_TRUE(object.as<IPersistPropertyBag>());
    EXPECT_TRUE(object.as<IPersistStreamInit>());
    EXPECT_TRUE(object.as<ISpecifyPropertyPages>());
    EXPECT_TRUE(object.as<IPerPropertyBrowsing>());
    auto d = object.as<IDispatch>();
    ASSERT_TRUE(d);
    Variant v;
    EXPECT_EQ(dispGet(*d, "AutoRewind", v), S_OK);
    EXPECT_EQ(v, Variant(true));
    // One identity: the IUnknown of every interface is the same.
    EXPECT_EQ(d.as<IUnknown>().get(), object.as<IControlObject>().as<IUnknown>().get());

    ComPtr<IPropertyPage> page;
    ASSERT_EQ(createInstanceByProgId("QXMovie.CQXMoviePropPage2", page, &message), S_OK) << message;
    PropertyPageInfo info;
    ASSERT_EQ(page->getPageInfo(info), S_OK);
    EXPECT_EQ(info.title, "MovieFile");

    const std::string path = std::filesystem::canonical(modulePath()).string();
    EXPECT_TRUE(isModuleLoaded(path));
    d.reset();
    object.reset();
    EXPECT_EQ(freeUnusedModules(), 0u); // the page is still alive
    page.reset();
    EXPECT_EQ(freeUnusedModules(), 1u);
    EXPECT_FALSE(isModuleLoaded(path));

    // A server lock keeps it loaded too.
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(kClsidQXMovie, IClassFactory::iid, factory.putVoid()), S_OK);
    factory->lockServer(true);
    factory.reset();
    EXPECT_EQ(freeUnusedModules(), 0u);
    ASSERT_EQ(getClassObject(kClsidQXMovie, IClassFactory::iid, factory.putVoid()), S_OK);
    factory->lockServer(false);
    factory.reset();
    EXPECT_EQ(freeUnusedModules(), 1u);

    ASSERT_EQ(reg(true), S_OK);
    EXPECT_EQ(createInstanceByProgId("QXMOVIE.QXMovieCtrl.2", object, &message), CO_E_CLASSSTRING);
    EXPECT_EQ(createInstance(kClsidQXMovie, object, &message), REGDB_E_CLASSNOTREG);
}
