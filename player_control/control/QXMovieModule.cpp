// The QXMOVIE module: a thin shell over the control library. For now it offers one C entry that
// makes a control; registration and class factories are added on top of the same library.
#include <QWidget>

#include <new>

#include "player_control/control/CQXMovieCtrl.h"
#include "player_control/control/QXMovieModule.h"

using qxm::HRESULT;

QXM_QXMOVIE_ENTRY HRESULT QXMovieCreateControl(void* parentWidget, void** controlWidget,
                                               void** dispatch) {
    if (!controlWidget) return qxm::E_POINTER;
    *controlWidget = nullptr;
    if (dispatch) *dispatch = nullptr;
    try {
        auto control =
            std::make_unique<qxm::qxmovie::CQXMovieCtrl>(static_cast<QWidget*>(parentWidget));
        if (dispatch) *dispatch = control->dispatch().detach();
        *controlWidget = static_cast<QWidget*>(control.release());
        return qxm::S_OK;
    } catch (const std::bad_alloc&) {
        return qxm::E_OUTOFMEMORY;
    } catch (...) {
        return qxm::E_FAIL;
    }
}
