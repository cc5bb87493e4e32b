#include "platform/activation/Module.h"

#include "platform/activation/ModuleEntries.h"
#include "platform/activation/SharedLibrary.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <new>

namespace qxm {

HRESULT ClassFactory::createInstance(IUnknown* outer, const Guid& iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return callGuarded<HRESULT>(E_FAIL, E_OUTOFMEMORY,
                                [&] { return create_ ? create_(iid, ppv) : E_UNEXPECTED; });
}

HRESULT ClassFactory::lockServer(bool lock) {
    life_.lock(lock);
    return S_OK;
}

HRESULT getClassObjectFrom(std::span<const ClassObjectEntry> classes, const Guid* clsid,
                           const Guid* iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!clsid || !iid) return E_INVALIDARG;
    for (const auto& c : classes)
        if (c.clsid == *clsid && c.factory) return c.factory->queryInterface(*iid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::string modulePathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved)) return info.dli_fname;
    return resolved;
}

namespace {

// The registry says why a step failed; the caller of the module's entry finds it in the
// thread's error object, as the entry itself returns only the code.
HRESULT failedWith(HRESULT code, const std::string& why) {
    if (!why.empty()) setErrorInfo({code, {}, why});
    return code;
}

} // namespace

HRESULT registerModule(const ModuleRegistration& m) {
    return callGuarded<HRESULT>(SELFREG_E_CLASS, SELFREG_E_CLASS, [&]() -> HRESULT {
        Registry reg;
        std::string why;
        if (m.typeLibrary) {
            const TypeLibrary& lib = *m.typeLibrary;
            TypeLibEntry e{
                lib.libid,    lib.majorVersion, lib.minorVersion, lib.helpString,
                m.modulePath, m.helpDir,        lib.lcid,         (lib.flags & TYPE_CONTROL) != 0};
            if (failed(reg.registerTypeLib(e, &why))) return failedWith(SELFREG_E_TYPELIB, why);
        }
        for (ClassEntry c : m.classes) {
            if (c.modulePath.empty()) c.modulePath = m.modulePath;
            if (failed(reg.registerClass(c, &why))) return failedWith(SELFREG_E_CLASS, why);
        }
        if (m.categories.empty()) return S_OK;
        std::unique_ptr<ICategoryManager> manager = createCategoryManager();
        if (!manager) return S_OK;
        for (const auto& cc : m.categories)
            for (const auto& cat : cc.categories)
                if (succeeded(manager->registerCategories(std::span(&cat, 1))))
                    manager->registerClassImplCategories(cc.clsid, std::span(&cat.catid, 1));
        return S_OK;
    });
}

HRESULT unregisterModule(const ModuleRegistration& m) {
    return callGuarded<HRESULT>(SELFREG_E_CLASS, SELFREG_E_CLASS, [&]() -> HRESULT {
        Registry reg;
        std::string why;
        if (m.typeLibrary &&
            failed(reg.unregisterTypeLib(m.typeLibrary->libid, m.typeLibrary->majorVersion,
                                         m.typeLibrary->minorVersion, &why)))
            return failedWith(SELFREG_E_TYPELIB, why);
        for (const auto& c : m.classes)
            if (failed(reg.unregisterClass(c.clsid, &why))) return failedWith(SELFREG_E_CLASS, why);
        return S_OK;
    });
}

HRESULT runModuleRegistration(const std::string& path, bool unregister, std::string* message) {
    auto say = [&](std::string text) {
        if (message) *message = std::move(text);
    };
    // A name without a slash would be searched on the library path; the tool means a file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    SharedLibrary library;
    if (const HRESULT hr = library.open(file, path, message); failed(hr)) return hr;
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    DllRegisterServerFn fn = nullptr;
    if (const HRESULT hr = library.entry(entry, fn, message); failed(hr)) return hr;
    const HRESULT hr = fn();
    std::string why;
    if (ExcepInfo info; failed(hr)) {
        why = hresultMessage(hr);
        if (takeErrorInfo(hr, info) && !info.description.empty())
            why += " (" + info.description + ")";
    }
    say(std::string(entry) + " in " + path + (succeeded(hr) ? " succeeded" : " failed: ") + why);
    return hr;
}

} // namespace qxm
