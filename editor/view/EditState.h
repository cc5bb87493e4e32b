#pragma once
// The editing state that the document, the movie window, the form view and manual setting
// share: one instance for the program, owned by the application with the anchor table.
#include <cstdint>
#include <string>

#include "editor/anchors/AnchorTable.h"

namespace qxm::editor {

enum class DrawMode {
    Idle,    // no rectangle is being drawn
    Armed,   // the next press in the picture draws a new rectangle
    Drawing, // the rubber band of a new rectangle is shown
};

struct EditState {
    bool MovieOpen = false; // a movie is open (cleared during a mouse drag in the picture)
    DrawMode drawMode = DrawMode::Idle;
    bool RectShown = false;    // CurrentRect is framed over the picture
    bool RectDragging = false; // the framed rectangle is being moved or resized
    bool AnchorActive = false; // the current anchor's fields, marks and rectangle are shown
    bool StartSet = false;     // the current anchor has a Starting Frame
    bool EndSet = false;       // the current anchor has an Ending Frame
    bool MarkSelected = false;
    int SelectedMark = -1;
    anchors::Rect CurrentRect{}; // display pixels of the picture
    bool Playing = false;        // playing or being positioned
    bool PictureKnown = false;   // the image size could be read when the movie was opened

    // Manual setting is in the middle of drawing or moving a rectangle.
    bool busyWithMouse() const { return drawMode != DrawMode::Idle || RectDragging; }
    // Every manual-setting and display state back to idle, as after closing a movie.
    void resetForClose() { *this = EditState{}; }
};

// What the document keeps about the open file and the requests waiting for the next open.
struct DocumentState {
    bool Opening = false;   // a movie is being opened
    bool Reopening = false; // the close runs inside an open of another file
    std::string AnchorFolder;
    std::string AnchorBaseName;
    std::string NameSuffix;
    std::string PathName; // the document's current path, empty while untitled
    std::string PendingOpenPath;
    std::string PendingAnchorID;
    bool PendingAnchorSet = false;

    void clearPending() {
        PendingOpenPath.clear();
        PendingAnchorID.clear();
        PendingAnchorSet = false;
    }
};

// The program's shared state: anchors, editing state, document state and start-up values.
struct EditorContext {
    anchors::AnchorTable table;
    EditState state;
    DocumentState doc;
    std::string StartFolder;  // current folder at start-up
    std::string PlayerOption; // value of the /I switch
    bool TrackingLoaded = false;
    void* TrackingLibrary = nullptr; // dlopen handle of the tracking library, while loaded
};

} // namespace qxm::editor
