#include "player_control/persistence/QXMoviePersist.h"

#include <array>

namespace qxm::qxmovie {
namespace {

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

constexpr PersistedProperty persisted(std::string_view name, PersistedProperty::Member member) {
    return {name, member};
}

// The name is the member's own.
#define QXM_PERSISTED(member) persisted(#member, &QXMovieState::member)

// The exchange order; it fixes the stream layout, so entries are only ever added at the end
// (with a new version).
constexpr std::array kProperties = {
    QXM_PERSISTED(AutoPlay),
    QXM_PERSISTED(AutoRepeat),
    QXM_PERSISTED(AutoRewind),
    QXM_PERSISTED(MovieFile),
    QXM_PERSISTED(MovieWindowSetting),
    QXM_PERSISTED(FullScreenMode),
    QXM_PERSISTED(ShowControls),
    QXM_PERSISTED(ShowDisplay),
    QXM_PERSISTED(ShowTracker),
    QXM_PERSISTED(SelectionEnd),
    QXM_PERSISTED(SelectionStart),
    QXM_PERSISTED(ActivateMethod),
    QXM_PERSISTED(ChangeCursor),
    QXM_PERSISTED(CursorFile),
    QXM_PERSISTED(EnableContextMenu),
    QXM_PERSISTED(ShowAnchor),
    QXM_PERSISTED(ClickSound),
    QXM_PERSISTED(SoundFile),
    QXM_PERSISTED(PlaybackEnvironment),
    QXM_PERSISTED(ShowAnchorName),
    QXM_PERSISTED(PlaybackRate),
    QXM_PERSISTED(AnchorFrameOrigin),
};

#undef QXM_PERSISTED

static_assert(kProperties.size() == kPersistedPropertyCount);

const QXMovieState& defaults() {
    static const QXMovieState d;
    return d;
}

} // namespace

VarType PersistedProperty::varType() const {
    switch (kind()) {
    case PropertyKind::Bool:
        return VarType::Bool;
    case PropertyKind::Long:
        return VarType::I4;
    case PropertyKind::String:
        break;
    }
    return VarType::BStr;
}

Variant PersistedProperty::get(const QXMovieState& state) const {
    return std::visit([&](auto m) { return Variant(state.*m); }, member);
}

HRESULT PersistedProperty::set(QXMovieState& state, const Variant& value) const {
    return std::visit(Overloaded{
                          [&](bool QXMovieState::*m) { return value.toBool(state.*m); },
                          [&](std::int32_t QXMovieState::*m) { return value.toI4(state.*m); },
                          [&](std::string QXMovieState::*m) { return value.toString(state.*m); },
                      },
                      member);
}

bool PersistedProperty::isDefault(const QXMovieState& state) const {
    return std::visit([&](auto m) { return state.*m == defaults().*m; }, member);
}

std::span<const PersistedProperty> persistedProperties() {
    return kProperties;
}

const PersistedProperty* findPersistedProperty(std::string_view name) {
    for (const PersistedProperty& p : kProperties)
        if (equalsNoCase(p.name, name)) return &p;
    return nullptr;
}

} // namespace qxm::qxmovie
