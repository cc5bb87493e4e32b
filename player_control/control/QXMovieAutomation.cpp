#include "player_control/control/QXMovieAutomation.h"

#include "player_control/control/CQXMovieCtrl.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/control/QXMovieTypeLib.h"

namespace qxm::qxmovie {
namespace {

InterfaceInfo headerOnly() {
    InterfaceInfo header = dqxmovieInterface();
    header.members.clear(); // declared one by one below
    return header;
}

} // namespace

QXMovieAutomation::QXMovieAutomation(CQXMovieCtrl* control)
    : DispatchObject(headerOnly(), strings::kErrorSource), control_(control),
      events_(kIidDQXMovieEvents) {
    declareMembers();
}

CQXMovieCtrl& QXMovieAutomation::control() const {
    if (!control_) throw ComError::code(E_UNEXPECTED);
    return *control_;
}

HRESULT QXMovieAutomation::advise(const Guid& eventIid, IDispatch* sink, std::uint32_t& cookie) {
    if (eventIid != IID_NULL && eventIid != kIidDQXMovieEvents && eventIid != IID_IDispatch)
        return CONNECT_E_CANNOTCONNECT;
    return events_.advise(sink, cookie);
}

HRESULT QXMovieAutomation::unadvise(std::uint32_t cookie) {
    return events_.unadvise(cookie);
}

HRESULT QXMovieAutomation::getClassInfo(TypeLibrary& library, Guid& clsid) {
    library = qxmovieTypeLibrary();
    clsid = kClsidQXMovie;
    return S_OK;
}

void QXMovieAutomation::declareMembers() {
    auto boolProp = [this](DispId id, bool (CQXMovieCtrl::*get)() const,
                           void (CQXMovieCtrl::*set)(bool)) {
        declareProperty(
            dqxmovieMember(id), [this, get](Args) { return Variant((control().*get)()); },
            set ? Setter([this, set](Args, const Variant& v) { (control().*set)(v.asBool()); })
                : Setter());
    };
    auto longProp = [this](DispId id, std::int32_t (CQXMovieCtrl::*get)() const,
                           void (CQXMovieCtrl::*set)(std::int32_t)) {
        declareProperty(
            dqxmovieMember(id), [this, get](Args) { return Variant((control().*get)()); },
            set ? Setter([this, set](Args, const Variant& v) { (control().*set)(v.asI4()); })
                : Setter());
    };
    auto stringProp = [this](DispId id, std::string (CQXMovieCtrl::*get)() const,
                             void (CQXMovieCtrl::*set)(const std::string&)) {
        declareProperty(
            dqxmovieMember(id), [this, get](Args) { return Variant((control().*get)()); },
            [this, set](Args, const Variant& v) { (control().*set)(v.asString()); });
    };
    using C = CQXMovieCtrl;
    boolProp(DISPID_AutoPlay, &C::AutoPlay, &C::setAutoPlay);
    boolProp(DISPID_AutoRepeat, &C::AutoRepeat, &C::setAutoRepeat);
    boolProp(DISPID_AutoRewind, &C::AutoRewind, &C::setAutoRewind);
    stringProp(DISPID_MovieFile, &C::MovieFile, &C::setMovieFile);
    longProp(DISPID_MovieWindowSetting, &C::MovieWindowSetting, &C::setMovieWindowSetting);
    boolProp(DISPID_ShowControls, &C::ShowControls, &C::setShowControls);
    boolProp(DISPID_ShowDisplay, &C::ShowDisplay, &C::setShowDisplay);
    boolProp(DISPID_ShowTracker, &C::ShowTracker, &C::setShowTracker);
    longProp(DISPID_SelectionEnd, &C::SelectionEnd, &C::setSelectionEnd);
    longProp(DISPID_SelectionStart, &C::SelectionStart, &C::setSelectionStart);
    boolProp(DISPID_FullScreenMode, &C::FullScreenMode, &C::setFullScreenMode);
    longProp(DISPID_ActivateMethod, &C::ActivateMethod, &C::setActivateMethod);
    longProp(DISPID_AnchorNum, &C::AnchorNum, nullptr);
    boolProp(DISPID_ChangeCursor, &C::ChangeCursor, &C::setChangeCursor);
    stringProp(DISPID_CursorFile, &C::CursorFile, &C::setCursorFile);
    boolProp(DISPID_EnableContextMenu, &C::EnableContextMenu, &C::setEnableContextMenu);
    boolProp(DISPID_ShowAnchor, &C::ShowAnchor, &C::setShowAnchor);
    longProp(DISPID_PlaybackEnvironment, &C::PlaybackEnvironment, nullptr);
    boolProp(DISPID_ShowAnchorName, &C::ShowAnchorName, nullptr);
    longProp(DISPID_CurrentPosition, &C::CurrentPosition, &C::setCurrentPosition);
    longProp(DISPID_ImageSourceHeight, &C::ImageSourceHeight, nullptr);
    longProp(DISPID_ImageSourceWidth, &C::ImageSourceWidth, nullptr);
    longProp(DISPID_Duration, &C::Duration, nullptr);
    boolProp(DISPID_ClickSound, &C::ClickSound, &C::setClickSound);
    stringProp(DISPID_SoundFile, &C::SoundFile, &C::setSoundFile);
    longProp(DISPID_PlaybackRate, &C::PlaybackRate, &C::setPlaybackRate);
    longProp(DISPID_AnchorFrameOrigin, &C::AnchorFrameOrigin, &C::setAnchorFrameOrigin);

    declareMethod(dqxmovieMember(DISPID_Play), [this](Args a) {
        control().Play(a[0].asI4());
        return Variant();
    });
    declareMethod(dqxmovieMember(DISPID_Stop), [this](Args) {
        control().Stop();
        return Variant();
    });
    declareMethod(dqxmovieMember(DISPID_Pause), [this](Args) {
        control().Pause();
        return Variant();
    });
    declareMethod(dqxmovieMember(DISPID_EnableAnchor),
                  [this](Args a) { return Variant(control().EnableAnchor(a[0].asString())); });
    declareProperty(dqxmovieMember(DISPID_AnchorID),
                    [this](Args index) { return Variant(control().AnchorID(index[0].asI4())); });
    declareProperty(dqxmovieMember(DISPID_AnchorName),
                    [this](Args index) { return Variant(control().AnchorName(index[0].asI4())); });
    declareMethod(dqxmovieMember(DISPID_ABOUTBOX), [this](Args) {
        control().AboutBox();
        return Variant();
    });
}

} // namespace qxm::qxmovie
