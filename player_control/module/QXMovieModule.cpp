// The QXMOVIE module: the control and its property pages behind the four component entries.
#include "platform/activation/Module.h"
#include "platform/activation/ModuleEntries.h"
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
    return qxm::callGuarded<HRESULT>(qxm::E_OUTOFMEMORY, qxm::E_OUTOFMEMORY, [&] {
        qxm::IClassFactory* factory = qxm::qxmovie::moduleClassFactory(*clsid);
        return factory ? factory->queryInterface(*iid, ppv) : qxm::CLASS_E_CLASSNOTAVAILABLE;
    });
}

HRESULT DllCanUnloadNow() {
    return qxm::qxmovie::moduleLife().canUnload() ? qxm::S_OK : qxm::S_FALSE;
}

HRESULT DllRegisterServer() {
    return qxm::callGuarded<HRESULT>(qxm::SELFREG_E_CLASS, qxm::SELFREG_E_CLASS, [] {
        return qxm::registerModule(qxm::qxmovie::describeModule(thisModulePath()));
    });
}

HRESULT DllUnregisterServer() {
    return qxm::callGuarded<HRESULT>(qxm::SELFREG_E_CLASS, qxm::SELFREG_E_CLASS, [] {
        return qxm::unregisterModule(qxm::qxmovie::describeModule(thisModulePath()));
    });
}
