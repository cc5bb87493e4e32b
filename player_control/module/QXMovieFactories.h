#pragma once
// The module's four classes: the control and its three property pages, made by the class
// factories that DllGetClassObject hands out, and by the module itself for its own property
// sheet (which needs no registration).
#include "platform/component/Guid.h"
#include "platform/component/HResult.h"
#include "platform/component/Unknown.h"
#include "platform/hosting/PropertyPages.h"

namespace qxm::qxmovie {

// Objects alive and server locks held: what DllCanUnloadNow answers from.
ModuleLife& moduleLife();

// RPC_E_WRONG_THREAD: widgets live on the application's thread only.
inline constexpr HRESULT RPC_E_WRONG_THREAD = hresultFromBits(0x8001010E);

// Makes an object of one of the four classes. The classes are widgets (apartment threading):
// E_UNEXPECTED without a QApplication, RPC_E_WRONG_THREAD off its thread,
// CLASS_E_CLASSNOTAVAILABLE for another class.
HRESULT createModuleObject(const Guid& clsid, const Guid& iid, void** ppv);

// A PageCreator over the module's own page classes.
HRESULT createModulePage(const Guid& clsid, ComPtr<IPropertyPage>& out);

// The factory of one of the four classes, null for another class.
IClassFactory* moduleClassFactory(const Guid& clsid);

} // namespace qxm::qxmovie
