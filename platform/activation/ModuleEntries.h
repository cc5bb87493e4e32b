#pragma once
// The four C entries of a component module, declared with default visibility for the module
// that defines them (link it with ComponentModule.map to export exactly these). Results are
// HRESULT codes; no exception leaves them.
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"

#define QXM_MODULE_ENTRY extern "C" __attribute__((visibility("default")))

QXM_MODULE_ENTRY qxm::HRESULT DllRegisterServer();
QXM_MODULE_ENTRY qxm::HRESULT DllUnregisterServer();
// On success *ppv holds a reference to the class object (usually an IClassFactory).
QXM_MODULE_ENTRY qxm::HRESULT DllGetClassObject(const qxm::Guid* clsid, const qxm::Guid* iid,
                                                void** ppv);
// S_OK when no object of the module is alive and no lock is held, else S_FALSE.
QXM_MODULE_ENTRY qxm::HRESULT DllCanUnloadNow();

namespace qxm {
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();
using DllGetClassObjectFn = HRESULT (*)(const Guid*, const Guid*, void**);
using DllCanUnloadNowFn = HRESULT (*)();
} // namespace qxm
