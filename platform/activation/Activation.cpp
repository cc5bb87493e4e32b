#include "platform/activation/Activation.h"

#include "platform/activation/ModuleEntries.h"
#include "platform/activation/SharedLibrary.h"
#include "platform/registry/Registry.h"

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <new>
#include <sys/stat.h>

namespace qxm {
namespace {

struct LoadedModule {
    void* handle = nullptr;
    DllGetClassObjectFn getClassObject = nullptr;
    DllCanUnloadNowFn canUnloadNow = nullptr; // null: the module is never unloaded
};

// The loader's table. Recursive: a module's factory may create objects of other classes.
std::recursive_mutex& loaderMutex() {
    static std::recursive_mutex m;
    return m;
}
std::map<std::string, LoadedModule>& loadedModules() {
    static std::map<std::string, LoadedModule> modules;
    return modules;
}

void say(std::string* message, std::string text) {
    if (message) *message = std::move(text);
}

HRESULT loadModule(const std::string& path, LoadedModule*& out, std::string* message) {
    auto& modules = loadedModules();
    if (auto it = modules.find(path); it != modules.end()) {
        out = &it->second;
        return S_OK;
    }
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        say(message, "module " + path + " not found");
        return CO_E_DLLNOTFOUND;
    }
    SharedLibrary library;
    if (const HRESULT hr = library.open(path, path, message); failed(hr)) return hr;
    LoadedModule m;
    if (const HRESULT hr = library.entry("DllGetClassObject", m.getClassObject, message);
        failed(hr))
        return hr;
    m.canUnloadNow = library.symbol<DllCanUnloadNowFn>("DllCanUnloadNow");
    m.handle = library.release();
    out = &modules.emplace(path, m).first->second;
    return S_OK;
}

} // namespace

HRESULT getClassObject(const Guid& clsid, const Guid& iid, void** ppv, std::string* message) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return callGuarded<HRESULT>(E_UNEXPECTED, E_OUTOFMEMORY, [&]() -> HRESULT {
        ClassEntry entry;
        HRESULT hr = Registry().findClass(clsid, entry, message);
        if (failed(hr)) return hr;
        if (entry.modulePath.empty()) {
            say(message, "class " + clsid.toString() + " names no module");
            return CO_E_DLLNOTFOUND;
        }
        std::lock_guard lock(loaderMutex());
        LoadedModule* module = nullptr;
        hr = loadModule(entry.modulePath, module, message);
        if (failed(hr)) return hr;
        hr = module->getClassObject(&clsid, &iid, ppv);
        if (failed(hr))
            say(message, "module " + entry.modulePath + " cannot supply class " + clsid.toString() +
                             ": " + hresultMessage(hr));
        return hr;
    });
}

HRESULT createInstance(const Guid& clsid, const Guid& iid, void** ppv, std::string* message) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::lock_guard lock(loaderMutex()); // no unloading between factory and creation
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(clsid, IClassFactory::iid, factory.putVoid(), message);
    if (failed(hr)) return hr;
    hr = factory->createInstance(nullptr, iid, ppv);
    if (failed(hr))
        say(message, "class " + clsid.toString() + " could not be created: " + hresultMessage(hr));
    return hr;
}

HRESULT createInstanceByProgId(std::string_view progId, const Guid& iid, void** ppv,
                               std::string* message) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    Guid clsid;
    HRESULT hr = Registry().clsidFromProgId(progId, clsid, message);
    if (failed(hr)) return hr;
    return createInstance(clsid, iid, ppv, message);
}

std::size_t freeUnusedModules() {
    std::lock_guard lock(loaderMutex());
    auto& modules = loadedModules();
    std::size_t count = 0;
    for (auto it = modules.begin(); it != modules.end();) {
        if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
            dlclose(it->second.handle);
            it = modules.erase(it);
            ++count;
        } else {
            ++it;
        }
    }
    return count;
}

bool isModuleLoaded(const std::string& path) {
    std::lock_guard lock(loaderMutex());
    return loadedModules().count(path) != 0;
}

} // namespace qxm
