#pragma once
// The editor's document: opens a movie or a Movie Object File with its anchors, closes it,
// and guards unsaved anchor data. The only place that fills and empties the shared state.
#include <string>

#include "editor/view/EditState.h"

class QWidget;

namespace qxm::editor {

class CRivEviFV;

class CRiveviDoc {
public:
    CRiveviDoc(EditorContext& context, CRivEviFV& view, QWidget& mainWindow);

    // Opens the path (movie or Movie Object File) with its anchors; false after the part that
    // failed has said why.
    bool OnOpenDocument(const std::string& path);
    // An untitled, empty document.
    void OnNewDocument();
    // Opens through the document as a start-up path, the Open command or a link request do:
    // OnOpenDocument, else a new empty document; the path becomes the document's path.
    bool OpenDocumentFile(const std::string& path);
    // The Close command.
    void OnFileClose();
    // The Open command: asks for a file (unless one is pending) and opens it.
    void OnFileOpen();
    // Asks whether to save unsaved anchor data: true to go on, false to stop.
    bool SaveBeforeDiscard();

private:
    EditorContext& context_;
    CRivEviFV& view_;
    QWidget& mainWindow_;
    bool askedBefore_ = false; // the file dialog has been shown in this run
};

} // namespace qxm::editor
