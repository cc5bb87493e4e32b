#pragma once
// Building a component module: a shared library exporting the four C entries (see
// ModuleEntries.h) over its class factories, and registering itself in the registry.
//
//   qxm::ModuleLife g_life;                                // objects and locks of the module
//   class Counter : public qxm::DispatchObject<> { qxm::ModuleObjectToken token_{g_life}; ... };
//   auto g_factory = qxm::makeClassFactory<Counter>(g_life);
//   const qxm::ClassObjectEntry g_classes[] = {{kClsid, g_factory.get()}};
//
//   HRESULT DllGetClassObject(const Guid* c, const Guid* i, void** ppv) {
//       return qxm::getClassObjectFrom(g_classes, c, i, ppv);
//   }
//   HRESULT DllCanUnloadNow() { return g_life.canUnload() ? qxm::S_OK : qxm::S_FALSE; }
//   HRESULT DllRegisterServer() { return qxm::registerModule(describeModule()); }
//   HRESULT DllUnregisterServer() { return qxm::unregisterModule(describeModule()); }
#include "platform/activation/Categories.h"
#include "platform/component/TypeLib.h"
#include "platform/component/Unknown.h"
#include "platform/registry/Registry.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace qxm {

// A class factory over a creation function that makes the object and queries it for iid.
class ClassFactory : public Object<IClassFactory> {
public:
    using Creator = std::function<HRESULT(const Guid& iid, void** ppv)>;
    ClassFactory(ModuleLife& life, Creator create) : life_(life), create_(std::move(create)) {}
    HRESULT createInstance(IUnknown* outer, const Guid& iid, void** ppv) override;
    HRESULT lockServer(bool lock) override;

private:
    ModuleLife& life_;
    Creator create_;
};

// The factory of T (default-constructed through makeObject).
template <class T> ComPtr<ClassFactory> makeClassFactory(ModuleLife& life) {
    return makeObject<ClassFactory>(life, [](const Guid& iid, void** ppv) {
        ComPtr<T> obj = makeObject<T>();
        return obj->queryInterface(iid, ppv);
    });
}

struct ClassObjectEntry {
    Guid clsid{};
    IClassFactory* factory = nullptr;
};

// DllGetClassObject over a table: CLASS_E_CLASSNOTAVAILABLE for a class not in it,
// E_POINTER / E_INVALIDARG for null arguments.
HRESULT getClassObjectFrom(std::span<const ClassObjectEntry> classes, const Guid* clsid,
                           const Guid* iid, void** ppv);

// The absolute path of the shared object holding address (a function or variable of it);
// empty when it cannot be told.
std::string modulePathOf(const void* address);

// What a module registers about itself.
struct ModuleRegistration {
    std::string modulePath{};                 // written into every entry that has none
    const TypeLibrary* typeLibrary = nullptr; // registered first, when given
    std::string helpDir{};
    std::vector<ClassEntry> classes{};
    struct ClassCategories {
        Guid clsid{};
        std::vector<CategoryInfo> categories{};
    };
    std::vector<ClassCategories> categories{};
};

// Registers the type library (failure: SELFREG_E_TYPELIB), then every class with its ProgIDs
// (failure: SELFREG_E_CLASS), then through the category manager each category, marking the
// class as implementing every category whose registration succeeded. Failures of the category
// manager (or its absence) do not fail the registration. Returns S_OK on success.
HRESULT registerModule(const ModuleRegistration& module);
// Unregisters the type library (failure: SELFREG_E_TYPELIB), then every class and its
// ProgIDs (failure: SELFREG_E_CLASS); categories and class marks stay.
HRESULT unregisterModule(const ModuleRegistration& module);

// Loads the module at path and calls its DllRegisterServer (or DllUnregisterServer): what
// the registration tool does. CO_E_DLLNOTFOUND when it cannot be loaded, CO_E_ERRORINDLL
// when the entry is missing; otherwise the entry's result. *message says what happened.
HRESULT runModuleRegistration(const std::string& path, bool unregister, std::string* message);

} // namespace qxm
