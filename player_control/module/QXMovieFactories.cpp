#include "player_control/module/QXMovieFactories.h"

#include <QApplication>
#include <QThread>

#include "platform/activation/Module.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/module/QXMovieObject.h"
#include "player_control/pages/QXMoviePropPages.h"

namespace qxm::qxmovie {
namespace {

HRESULT checkGuiThread() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) return E_UNEXPECTED;
    if (QThread::currentThread() != app->thread()) return RPC_E_WRONG_THREAD;
    return S_OK;
}

template <class T> HRESULT make(const Guid& iid, void** ppv) {
    ComPtr<T> object = makeObject<T>(moduleLife());
    return object->queryInterface(iid, ppv);
}

struct ModuleClass {
    Guid clsid;
    HRESULT (*create)(const Guid& iid, void** ppv);
};

const ModuleClass kClasses[] = {
    {kClsidQXMovie, &make<QXMovieObject>},
    {kClsidGeneralPage, &make<CQXMoviePropPage>},
    {kClsidMovieFilePage, &make<CQXMoviePropPage2>},
    {kClsidCursorFilePage, &make<CQXMoviePropPage3>},
};

ComPtr<ClassFactory> makeFactory(const ModuleClass& c) {
    return makeObject<ClassFactory>(moduleLife(), [&c](const Guid& iid, void** ppv) {
        return createModuleObject(c.clsid, iid, ppv);
    });
}

} // namespace

ModuleLife& moduleLife() {
    static ModuleLife life;
    return life;
}

HRESULT createModuleObject(const Guid& clsid, const Guid& iid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ModuleClass& c : kClasses)
        if (c.clsid == clsid) {
            const HRESULT hr = checkGuiThread();
            return failed(hr) ? hr : c.create(iid, ppv);
        }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT createModulePage(const Guid& clsid, ComPtr<IPropertyPage>& out) {
    if (clsid == kClsidQXMovie) return E_NOINTERFACE;
    return createModuleObject(clsid, IPropertyPage::iid, out.putVoid());
}

IClassFactory* moduleClassFactory(const Guid& clsid) {
    // Made once, for the module's life.
    static const ComPtr<ClassFactory> factories[] = {
        makeFactory(kClasses[0]), makeFactory(kClasses[1]), makeFactory(kClasses[2]),
        makeFactory(kClasses[3])};
    for (std::size_t i = 0; i < std::size(kClasses); ++i)
        if (kClasses[i].clsid == clsid) return factories[i].get();
    return nullptr;
}

} // namespace qxm::qxmovie
