#pragma once
// Creating objects of registered classes: the class is looked up in the registry
// (Registry::defaultPath()), its module loaded with dlopen (once; later creations reuse it),
// its DllGetClassObject asked for the class factory, and the factory asked for the object.
//
// Failures, with *message saying which class and module:
//   REGDB_E_CLASSNOTREG  the class is not registered
//   CO_E_CLASSSTRING     the ProgID is not registered
//   CO_E_DLLNOTFOUND     the module is not named, missing or cannot be loaded
//   CO_E_ERRORINDLL      the module lacks DllGetClassObject
//   and what the module's entry or factory returns (CLASS_E_CLASSNOTAVAILABLE, E_NOINTERFACE).
//
// Modules stay loaded until freeUnusedModules() finds that their DllCanUnloadNow allows
// unloading: call it after releasing objects (a container does so when it lets a control go).
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"
#include "platform/component/Unknown.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qxm {

HRESULT getClassObject(const Guid& clsid, const Guid& iid, void** ppv,
                       std::string* message = nullptr);
HRESULT createInstance(const Guid& clsid, const Guid& iid, void** ppv,
                       std::string* message = nullptr);
// Accepts a ProgID (following a version-independent ProgID's current version) or a braced
// class id.
HRESULT createInstanceByProgId(std::string_view progId, const Guid& iid, void** ppv,
                               std::string* message = nullptr);

template <class T>
HRESULT createInstance(const Guid& clsid, ComPtr<T>& out, std::string* message = nullptr) {
    return createInstance(clsid, T::iid, out.putVoid(), message);
}
template <class T>
HRESULT createInstanceByProgId(std::string_view progId, ComPtr<T>& out,
                               std::string* message = nullptr) {
    return createInstanceByProgId(progId, T::iid, out.putVoid(), message);
}

// Unloads every loaded module whose DllCanUnloadNow answers S_OK; returns how many.
std::size_t freeUnusedModules();
// Whether the loader holds the module at path (as registered) loaded.
bool isModuleLoaded(const std::string& path);

} // namespace qxm
