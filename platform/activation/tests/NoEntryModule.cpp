// A module that can register but offers no class objects (no DllGetClassObject) and whose
// registration fails.
#include "platform/activation/ModuleEntries.h"

qxm::HRESULT DllRegisterServer() {
    return qxm::E_FAIL;
}
