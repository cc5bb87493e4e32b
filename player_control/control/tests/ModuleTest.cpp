// The module libqxmovie.so as a container loads it: one C entry that makes a control.
#include "player_control/control/tests/ControlTestSupport.h"

#include <dlfcn.h>

#include <cstdlib>

using namespace qxm;
using namespace qxm::qxmovie::testing;

namespace {

using CreateFn = HRESULT (*)(void*, void**, void**);

class ModuleTest : public ControlTest {};

} // namespace

TEST_F(ModuleTest, TheModuleMakesAControlWithItsAutomationObject) {
    const std::string path = std::string(std::getenv("QXM_LIB_DIR")) + "/libqxmovie.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(module) << dlerror();
    auto create = reinterpret_cast<CreateFn>(dlsym(module, "QXMovieCreateControl"));
    ASSERT_TRUE(create);
    EXPECT_FALSE(dlsym(module, "_ZN3qxm7qxmovie12CQXMovieCtrl10CreateEngineEv")); // hidden

    EXPECT_EQ(create(nullptr, nullptr, nullptr), E_POINTER);
    void* widget = nullptr;
    void* dispatch = nullptr;
    ASSERT_EQ(create(nullptr, &widget, &dispatch), S_OK);
    ASSERT_TRUE(widget && dispatch);
    auto d = ComPtr<IDispatch>::adopt(static_cast<IDispatch*>(dispatch));
    Variant v;
    EXPECT_EQ(dispGet(*d, "AutoPlay", v), S_OK);
    EXPECT_EQ(v, Variant(true));
    ExcepInfo info;
    EXPECT_EQ(dispPut(*d, "ActivateMethod", Variant(5), &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, controlError(380));
    auto* w = static_cast<QWidget*>(widget);
    EXPECT_EQ(w->size(), QSize(324, 275));
    delete w; // the caller owns the widget
    EXPECT_EQ(dispGet(*d, "AutoPlay", v), E_UNEXPECTED);
    d.reset();
    dlclose(module);
}
