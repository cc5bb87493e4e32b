#pragma once
// The control's properties, one row each: dispatch id, name, type, type library flags, where
// the value lives in QXMovieState (nothing for values the control works out, such as Duration),
// its place in the persisted exchange order, and the strings of an enumerated property (whose
// valid values are 0 to the number of strings - 1). The type library's property members, the
// automation bindings, the persisted list and the value checks are all made from this table.
// Adding a property is one row here (with its member and default in QXMovieState when it is
// kept) plus its effect in the control, when setting it does more than store the value.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "platform/component/TypeLib.h"
#include "platform/component/Variant.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieState.h"
#include "player_control/definitions/QXMovieStrings.h"

namespace qxm::qxmovie {

using StateMember = std::variant<std::monostate, bool QXMovieState::*, std::int32_t QXMovieState::*,
                                 std::string QXMovieState::*>;

inline constexpr int kNotPersisted = -1;

struct PropertyDescriptor {
    DispId id;
    std::string_view name;
    VarType type;            // VarType::Bool, VarType::I4 or VarType::BStr
    std::uint32_t flags = 0; // MEMBER_* of the type library
    StateMember member;      // monostate: not kept in the state
    int persistOrder = kNotPersisted;
    std::string_view enumName;                         // empty: not enumerated
    std::span<const strings::TableString> enumStrings; // value i is the i-th string

    constexpr bool readOnly() const { return (flags & MEMBER_READONLY) != 0; }
    constexpr bool persisted() const { return persistOrder != kNotPersisted; }
    constexpr bool enumerated() const { return !enumName.empty(); }
    // Whether a long value may be set: an enumerated property takes 0 to its last string.
    constexpr bool accepts(std::int32_t value) const {
        return !enumerated() || (value >= 0 && std::size_t(value) < enumStrings.size());
    }
};

namespace detail {
namespace s = strings;
inline constexpr strings::TableString kMovieWindowSettings[] = {
    s::kOriginalSize, s::kDoubleOriginalSize, s::kOneSixteenScreen, s::kOneFourThScreen,
    s::kOneHalfScreen};
inline constexpr strings::TableString kActivateMethods[] = {s::kSingleClick, s::kDoubleClick};
inline constexpr strings::TableString kPlaybackEnvironments[] = {s::kActiveMovieInterface,
                                                                 s::kMCIInterface};
inline constexpr strings::TableString kPlaybackRates[] = {s::kNormalSpeed, s::kDoubleSpeed,
                                                          s::kOnehalfSpeed};

constexpr PropertyDescriptor row(DispId id, std::string_view name, VarType type,
                                 std::uint32_t flags, StateMember member, int persistOrder,
                                 std::string_view enumName = {},
                                 std::span<const strings::TableString> enumStrings = {}) {
    return {id, name, type, flags, member, persistOrder, enumName, enumStrings};
}

using S = QXMovieState;
inline constexpr VarType kBool = VarType::Bool;
inline constexpr VarType kLong = VarType::I4;
inline constexpr VarType kText = VarType::BStr;
inline constexpr std::uint32_t kFileName = MEMBER_BINDABLE | MEMBER_REQUESTEDIT;
inline constexpr std::uint32_t kHiddenReadOnly = MEMBER_HIDDEN | MEMBER_READONLY;
inline constexpr int kNo = kNotPersisted;

// In the order of the type library's members. The persisted order (the last number) is the
// stream layout, so a new persisted property takes the next number (with a new version).
inline constexpr std::array kTable = {
    row(DISPID_AutoPlay, "AutoPlay", kBool, 0, &S::AutoPlay, 0),
    row(DISPID_AutoRepeat, "AutoRepeat", kBool, 0, &S::AutoRepeat, 1),
    row(DISPID_AutoRewind, "AutoRewind", kBool, 0, &S::AutoRewind, 2),
    row(DISPID_MovieFile, "MovieFile", kText, kFileName, &S::MovieFile, 3),
    row(DISPID_MovieWindowSetting, "MovieWindowSetting", kLong, 0, &S::MovieWindowSetting, 4,
        "enumMovieWindowSetting", kMovieWindowSettings),
    row(DISPID_ShowControls, "ShowControls", kBool, 0, &S::ShowControls, 6),
    row(DISPID_ShowDisplay, "ShowDisplay", kBool, MEMBER_HIDDEN, &S::ShowDisplay, 7),
    row(DISPID_ShowTracker, "ShowTracker", kBool, MEMBER_HIDDEN, &S::ShowTracker, 8),
    row(DISPID_SelectionEnd, "SelectionEnd", kLong, 0, &S::SelectionEnd, 9),
    row(DISPID_SelectionStart, "SelectionStart", kLong, 0, &S::SelectionStart, 10),
    row(DISPID_FullScreenMode, "FullScreenMode", kBool, 0, &S::FullScreenMode, 5),
    row(DISPID_ActivateMethod, "ActivateMethod", kLong, 0, &S::ActivateMethod, 11,
        "enumActivateMethod", kActivateMethods),
    row(DISPID_AnchorNum, "AnchorNum", kLong, MEMBER_READONLY, {}, kNo),
    row(DISPID_ChangeCursor, "ChangeCursor", kBool, 0, &S::ChangeCursor, 12),
    row(DISPID_CursorFile, "CursorFile", kText, kFileName, &S::CursorFile, 13),
    row(DISPID_EnableContextMenu, "EnableContextMenu", kBool, 0, &S::EnableContextMenu, 14),
    row(DISPID_ShowAnchor, "ShowAnchor", kBool, 0, &S::ShowAnchor, 15),
    row(DISPID_PlaybackEnvironment, "PlaybackEnvironment", kLong, kHiddenReadOnly,
        &S::PlaybackEnvironment, 18, "enumPlaybackEnvironment", kPlaybackEnvironments),
    row(DISPID_ShowAnchorName, "ShowAnchorName", kBool, kHiddenReadOnly, &S::ShowAnchorName, 19),
    row(DISPID_CurrentPosition, "CurrentPosition", kLong, 0, {}, kNo),
    row(DISPID_ImageSourceHeight, "ImageSourceHeight", kLong, MEMBER_READONLY, {}, kNo),
    row(DISPID_ImageSourceWidth, "ImageSourceWidth", kLong, MEMBER_READONLY, {}, kNo),
    row(DISPID_Duration, "Duration", kLong, MEMBER_READONLY, {}, kNo),
    row(DISPID_ClickSound, "ClickSound", kBool, MEMBER_HIDDEN, &S::ClickSound, 16),
    row(DISPID_SoundFile, "SoundFile", kText, MEMBER_HIDDEN, &S::SoundFile, 17),
    row(DISPID_PlaybackRate, "PlaybackRate", kLong, 0, &S::PlaybackRate, 20, "enumPlaybackRate",
        kPlaybackRates),
    row(DISPID_AnchorFrameOrigin, "AnchorFrameOrigin", kLong, 0, &S::AnchorFrameOrigin, 21),
};
} // namespace detail

// Each row: id, name, type, type library flags, state member, persisted place[, enumeration].
inline constexpr const auto& kControlProperties = detail::kTable;

// The row of a property; null for an id that is not a property.
constexpr const PropertyDescriptor* findControlProperty(DispId id) {
    for (const PropertyDescriptor& p : kControlProperties)
        if (p.id == id) return &p;
    return nullptr;
}

namespace detail {
// Every persisted place is taken once, from 0 up, and the state member's type is the row's.
constexpr bool persistedOrderIsComplete() {
    for (int order = 0; order < kPersistedPropertyCount; ++order) {
        int found = 0;
        for (const PropertyDescriptor& p : kControlProperties)
            if (p.persistOrder == order) ++found;
        if (found != 1) return false;
    }
    int persisted = 0;
    for (const PropertyDescriptor& p : kControlProperties) {
        if (p.persisted()) ++persisted;
        if (p.persisted() && std::holds_alternative<std::monostate>(p.member)) return false;
    }
    return persisted == kPersistedPropertyCount;
}
constexpr bool memberTypesMatch() {
    for (const PropertyDescriptor& p : kControlProperties) {
        const VarType want = std::visit(
            [](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, bool QXMovieState::*>) return VarType::Bool;
                if constexpr (std::is_same_v<M, std::int32_t QXMovieState::*>) return VarType::I4;
                if constexpr (std::is_same_v<M, std::string QXMovieState::*>) return VarType::BStr;
                return VarType::Empty;
            },
            p.member);
        if (want != VarType::Empty && want != p.type) return false;
    }
    return true;
}
static_assert(persistedOrderIsComplete());
static_assert(memberTypesMatch());
} // namespace detail

} // namespace qxm::qxmovie
