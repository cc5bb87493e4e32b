#pragma once
// The type library QXMOVIELib 2.0: _DQXMovie (properties and methods), _DQXMovieEvents (the
// events) and the coclass QXMovie, with the enumerations of the four enumerated properties.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/component/TypeLib.h"
#include "platform/component/Variant.h"

namespace qxm::qxmovie {

// The library, built once.
const TypeLibrary& qxmovieTypeLibrary();
const InterfaceInfo& dqxmovieInterface();
const InterfaceInfo& dqxmovieEventsInterface();

// A member of _DQXMovie by id; throws std::out_of_range for an id it does not have.
const MemberInfo& dqxmovieMember(DispId id);

// The predefined strings the property browser offers for an enumerated property, with the
// value of each (its leading number); empty for other properties.
struct PredefinedString {
    std::int32_t value;
    std::uint32_t stringId;
    std::string text;
};
std::vector<PredefinedString> predefinedStrings(DispId property);

// The display string of an enumerated property's value; empty when the property is not
// enumerated or the value has no string (the ordinary display applies then).
std::string enumDisplayString(DispId property, std::int32_t value);

// An event of _DQXMovieEvents as text, e.g. OnStateChange(2, 0) or OnCursorIn("CAR1").
std::string describeEvent(DispId id, Args args);

} // namespace qxm::qxmovie
