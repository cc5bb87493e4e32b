#pragma once
// Every user-visible text of the movie engine.

namespace qxm::engine::texts {

inline constexpr const char* kErrorSource = "Movie Engine";
inline constexpr const char* kErrorCaption = "Movie Engine";

// %1 is the file name as given, %2 a frame number, %3 a detail from the decoder.
inline constexpr const char* kNotFound = "The movie file \"%1\" does not exist.";
inline constexpr const char* kUnreadable = "The file \"%1\" cannot be read as a movie.";
inline constexpr const char* kNoVideo = "The file \"%1\" holds no video that can be decoded.";
inline constexpr const char* kBadSize = "The video of \"%1\" has no usable picture size or length.";
inline constexpr const char* kDecodeFailed = "Frame %2 of \"%1\" cannot be decoded.";
inline constexpr const char* kInternal = "The movie \"%1\" cannot be opened: %3";

inline constexpr const char* kPlay = "Play";
inline constexpr const char* kPause = "Pause";
inline constexpr const char* kStop = "Stop";
inline constexpr const char* kMenuPlay = "P&lay";
inline constexpr const char* kMenuPause = "&Pause";
inline constexpr const char* kMenuStop = "&Stop";

inline constexpr const char* kNoMovie = "No movie";
inline constexpr const char* kOpening = "Opening... %1%";
inline constexpr const char* kFrameDisplay = "Frame %1 / %2";
inline constexpr const char* kTimeDisplay = "%1 / %2";

} // namespace qxm::engine::texts
