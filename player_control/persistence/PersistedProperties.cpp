#include "player_control/persistence/QXMoviePersist.h"

#include <array>

#include "player_control/definitions/QXMovieProperties.h"

namespace qxm::qxmovie {
namespace {

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

constexpr PersistedProperty::Member persistedMember(const StateMember& member) {
    if (auto m = std::get_if<bool QXMovieState::*>(&member)) return *m;
    if (auto m = std::get_if<std::int32_t QXMovieState::*>(&member)) return *m;
    return std::get<std::string QXMovieState::*>(member);
}

// The persisted rows of the property table in their exchange order (the stream layout).
constexpr std::array<PersistedProperty, kPersistedPropertyCount> persistedInOrder() {
    std::array<PersistedProperty, kPersistedPropertyCount> out{};
    for (const PropertyDescriptor& p : kControlProperties)
        if (p.persisted()) out[std::size_t(p.persistOrder)] = {p.name, persistedMember(p.member)};
    return out;
}

constexpr std::array kProperties = persistedInOrder();

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
