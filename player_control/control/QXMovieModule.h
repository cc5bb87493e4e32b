#pragma once
// The C entries of libqxmovie.so. Results are HRESULT codes; no exception leaves them.
#include "platform/component/HResult.h"

#define QXM_QXMOVIE_ENTRY extern "C" __attribute__((visibility("default")))

// Makes a control (a QWidget, child of parentWidget when that is not null; the caller owns it
// and deletes it as a widget). With dispatch not null, *dispatch receives a reference to the
// control's IDispatch, which the caller releases.
QXM_QXMOVIE_ENTRY qxm::HRESULT QXMovieCreateControl(void* parentWidget, void** controlWidget,
                                                    void** dispatch);
