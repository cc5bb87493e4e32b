#pragma once
// Automatic Setting: the tracking library follows the current anchor's picture from its
// Starting Frame to its Ending Frame, and the frames it settles replace the anchor's key frames.
#include "editor/view/EditState.h"

namespace qxm::editor {

class CRivEviFV;

namespace text::autoset {
inline constexpr const char* kDeleteQuestion = "Delete The Intermediate Frame?";
inline constexpr const char* kDeleteCaption = "Delete Intermediate Frame";
// The line of the wait dialog shown while the library works.
inline constexpr const char* kWorking = "Automatic Setting";
} // namespace text::autoset

// Automatic Setting on the current anchor: binds the five tracking entry points by name
// (dlsym on context.TrackingLibrary) at each run, asks before intermediate key frames are
// dropped, opens the movie in the library (the Movie Object File's movie with its StartFrame as
// the frame origin when the document is one), hands over the anchor's range and its first and
// last rectangles in movie frames and movie pixels, and replaces the key frames by the records
// returned, converted back to the editor's frames and display pixels. The library's messages
// are shown with the program's title. While the library tracks, it runs on a thread of its own
// and the editor waits modally behind a wait dialog and the wait cursor: windows keep painting,
// user input is dropped and link requests to open a file wait until the run has ended.
void RunAutomaticSetting(EditorContext& context, CRivEviFV& view);

} // namespace qxm::editor
