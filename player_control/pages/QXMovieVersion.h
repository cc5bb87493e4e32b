#pragma once
// The version of the QXMOVIE module: what its version block says and the About box shows.
#include "player_control/definitions/QXMovieStrings.h"

namespace qxm::qxmovie {

inline constexpr const char* kFileVersion = "2.00.0021";
inline constexpr const char* kFileDescription = "QX-MOVIE ActiveX Control Module";
inline constexpr const char* kInternalName = "QXMOVIE";
inline constexpr const char* kOriginalFilename = "QXMOVIE.OCX";
inline constexpr const char* kProductName = strings::kTypeName.text;
inline constexpr const char* kLegalCopyright = "Copyright (C) 2026 Movie Marquill";

} // namespace qxm::qxmovie
