#pragma once
// Fixed identifiers of the QXMOVIE module: the type library, the interfaces, the control class
// and its property pages (the same in every build; containers create the control by kClsidQXMovie),
// and the dispatch ids of the control's members and events.
#include "platform/component/Guid.h"
#include "platform/component/TypeLib.h"

namespace qxm::qxmovie {

inline constexpr Guid kLibidQXMOVIELib = Guid::literal("{9E78FA7F-8E3D-4A14-B9E9-308C989B9BF5}");
inline constexpr Guid kIidDQXMovie = Guid::literal("{6F026D9E-2450-4D96-8CC5-3101C70904A2}");
inline constexpr Guid kIidDQXMovieEvents = Guid::literal("{AB002A5A-096F-47E1-A9D3-4788373682F2}");
inline constexpr Guid kClsidQXMovie = Guid::literal("{EEF2E1E9-165E-478E-8C0D-EFF679A09B1E}");
// The property pages: general, movie file select, cursor file select.
inline constexpr Guid kClsidGeneralPage = Guid::literal("{9643E2C2-5E3D-42D8-BCE7-B995CF0ECE9B}");
inline constexpr Guid kClsidMovieFilePage = Guid::literal("{4EE7335C-EEC5-44C4-8C3A-21186F84F136}");
inline constexpr Guid kClsidCursorFilePage =
    Guid::literal("{063BFBA4-1A47-4C82-99A7-77991BCB9200}");

// ProgIDs of the control and its pages.
inline constexpr const char* kProgIdControl = "QXMOVIE.QXMovieCtrl.2";
inline constexpr const char* kProgIdGeneralPage = "QXMOVIE.QXMoviePropPage.2";
inline constexpr const char* kProgIdMovieFilePage = "QXMovie.CQXMoviePropPage2";
inline constexpr const char* kProgIdCursorFilePage = "QXMovie.CQXMoviePropPage3";

inline constexpr std::uint16_t kLibMajorVersion = 2;
inline constexpr std::uint16_t kLibMinorVersion = 0;

// Members of _DQXMovie.
enum MemberId : DispId {
    DISPID_AutoPlay = 1,
    DISPID_AutoRepeat = 2,
    DISPID_AutoRewind = 3,
    DISPID_MovieFile = 4,
    DISPID_MovieWindowSetting = 5,
    DISPID_ShowControls = 6,
    DISPID_ShowDisplay = 7,
    DISPID_ShowTracker = 8,
    DISPID_SelectionEnd = 9,
    DISPID_SelectionStart = 10,
    DISPID_FullScreenMode = 11,
    DISPID_ActivateMethod = 12,
    DISPID_AnchorNum = 13,
    DISPID_ChangeCursor = 14,
    DISPID_CursorFile = 15,
    DISPID_EnableContextMenu = 16,
    DISPID_ShowAnchor = 17,
    DISPID_PlaybackEnvironment = 18,
    DISPID_ShowAnchorName = 19,
    DISPID_CurrentPosition = 20,
    DISPID_ImageSourceHeight = 21,
    DISPID_ImageSourceWidth = 22,
    DISPID_Duration = 23,
    DISPID_ClickSound = 24,
    DISPID_SoundFile = 25,
    DISPID_PlaybackRate = 26,
    DISPID_AnchorFrameOrigin = 27,
    DISPID_Play = 28,
    DISPID_Stop = 29,
    DISPID_Pause = 30,
    DISPID_EnableAnchor = 31,
    DISPID_AnchorID = 32,
    DISPID_AnchorName = 33,
    DISPID_AboutBoxMember = DISPID_ABOUTBOX,
};

// Events of _DQXMovieEvents.
enum EventId : DispId {
    EVENTID_OnMovieStart = 1,
    EVENTID_OnMovieStop = 2,
    EVENTID_OnMovieFinish = 3,
    EVENTID_OnError = 4,
    EVENTID_OnActivateAnchor = 5,
    EVENTID_OnStateChange = 6,
    EVENTID_OnTimer = 7,
    EVENTID_OnCursorIn = 8,
    EVENTID_OnCursorOut = 9,
    EVENTID_OnPositionChange = 10,
    EVENTID_OpenComplete = 11,
    EVENTID_MouseDown = DISPID_MOUSEDOWN,
    EVENTID_MouseMove = DISPID_MOUSEMOVE,
    EVENTID_MouseUp = DISPID_MOUSEUP,
};

// Commands of the context menu (menu resource 202).
enum MenuCommand : int {
    ID_MENU_PLAY = 32768,
    ID_MENU_PAUSE = 32769,
    ID_MENU_STOP = 32770,
    ID_MENU_CONTROLS = 32772,
    ID_MENU_ANCHOR = 32773,
    ID_MENU_CURSOR = 32774,
    ID_MENU_PROPERTIES = 32775,
    ID_MENU_ABOUT = 32776,
};
inline constexpr int kContextMenuResource = 202;

} // namespace qxm::qxmovie
