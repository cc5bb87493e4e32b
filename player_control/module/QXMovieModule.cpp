// The QXMOVIE module: the control and its property pages behind the four component entries.
#include "platform/component/Module.h"
#include "platform/component/ModuleEntries.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/module/QXMovieFactories.h"
#include "player_control/module/QXMovieRegistration.h"

using qxm::HRESULT;

namespace {

std::string thisModulePath() {
    return qxm::modulePathOf(reinterpret_cast<const void*>(&thisModulePath));
}

} // namespace

HRESULT DllGetClassObject(const qxm::Guid* clsid, const qxm::Guid* iid, void** ppv) {
    if (!ppv) return qxm::E_POINTER;
    *ppv = nullptr;
    if (!clsid || !iid) return qxm::E_INVALIDARG;
    try {
        qxm::IClassFactory* factory = qxm::qxmovie::moduleClassFactory(*clsid);
        if (!factory) return qxm::CLASS_E_CLASSNOTAVAILABLE;
        return factory->queryInterface(*iid, ppv);
    } catch (...) {
        return qxm::E_OUTOFMEMORY;
    }
}

HRESULT DllCanUnloadNow() {
    return qxm::qxmovie::moduleLife().canUnload() ? qxm::S_OK : qxm::S_FALSE;
}

HRESULT DllRegisterServer() {
    try {
        return qxm::registerModule(qxm::qxmovie::describeModule(thisModulePath()));
    } catch (...) {
        return qxm::SELFREG_E_CLASS;
    }
}

HRESULT DllUnregisterServer() {
    try {
        return qxm::unregisterModule(qxm::qxmovie::describeModule(thisModulePath()));
    } catch (...) {
        return qxm::SELFREG_E_CLASS;
    }
}
