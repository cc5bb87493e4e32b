#pragma once
// The module's own anchor cursor (resource 204): a pointing hand, kept as a pixel map in the
// code and handed out as a cursor file, so it goes through the same reader as a CursorFile.
#include <cstdint>
#include <vector>

#include "player_control/cursors/CursorFile.h"

namespace qxm::cursors {

inline constexpr int kBuiltinAnchorCursorId = 204;

// The cursor file of resource 204.
std::vector<std::uint8_t> builtinAnchorCursorFile();

// Resource 204 read back: one 32 x 32 frame with the hotspot at the fingertip.
CursorData builtinAnchorCursor();

} // namespace qxm::cursors
