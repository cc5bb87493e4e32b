#pragma once
// Every text the anchor model and its files show, spelled exactly as the user sees it.
namespace qxm::anchors::text {

// Caption of the messages: the program's title.
inline constexpr const char* kProgramTitle = "Movie Marquill";

inline constexpr const char* kNoMemory = "No Memory Available.";
inline constexpr const char* kTooManyAnchors = "Can't make any more anchors.";

// Movie Object File.
inline constexpr const char* kBadMovieName =
    "Invalid Movie Filename Description In the Movie Object File";
inline constexpr const char* kBadStartFrame =
    "Invalid Starting Frame Description In the Movie Object File";
inline constexpr const char* kBadEndFrame =
    "Invalid Ending Frame Description In the Movie Object File";
inline constexpr const char* kBadMovieExtension =
    "Invalid Movie File name description in the Movie Object File.";
inline constexpr const char* kBadFrameRange = "Invalid Frame Description In the Movie Object File";

// Anchor object file. The limit message is "%s%d%s%d%s" of the three parts and the limit.
inline constexpr const char* kOverLimitHead = "The Number of Anchors is over the limit.";
inline constexpr const char* kOverLimitBreak = "\n";
inline constexpr const char* kOverLimitTail = "After Anchors Will Be Ignored.";
inline constexpr const char* kFileOpenError = "Anchorfile open error.";
inline constexpr const char* kFileWriteError = "Anchorfile write error.";

// New Anchor checks (caption "New Anchor").
inline constexpr const char* kNewAnchorCaption = "New Anchor";
inline constexpr const char* kNameMissing = "Anchor name is not Selected.";
inline constexpr const char* kIdMissing = "Anchor ID is not Selected.";
inline constexpr const char* kNameTooLong = "The Length of Anchor Name Is Over The Limit.";
inline constexpr const char* kIdTooLong = "Anchor ID is too long.";
inline constexpr const char* kNameInvalid = "Including Invalid Characters In Anchor Name.";
inline constexpr const char* kIdInvalid = "Including Invalid Characters In Anchor ID.";
inline constexpr const char* kIdExists = "The Same Anchor ID already Exists.";

} // namespace qxm::anchors::text
