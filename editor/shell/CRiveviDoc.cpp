#include "editor/shell/CRiveviDoc.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

#include "editor/anchors/AnchorFile.h"
#include "editor/anchors/AnchorPaths.h"
#include "editor/shell/EditorTexts.h"
#include "editor/shell/dialogs/AnchorListDialog.h"
#include "editor/shell/dialogs/NewAnchorDialog.h"
#include "editor/view/CRivEviFV.h"
#include "editor/view/WaitCursor.h"
#include "platform/prompter/Prompter.h"

namespace qxm::editor {

namespace {

// Sets a flag for the life of the object.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

CRiveviDoc::CRiveviDoc(EditorContext& context, CRivEviFV& view, QWidget& mainWindow)
    : context_(context), view_(view), mainWindow_(mainWindow) {}

bool CRiveviDoc::SaveBeforeDiscard() {
    if (!context_.state.MovieOpen || context_.table.AnchorDataSaved) return true;
    view_.PauseAndShow();
    switch (prompt(text::kSaveQuestion, text::kSaveCaption, Buttons::YesNoCancel, Icon::Question)) {
    case Answer::Yes:
        if (!anchors::WriteAnchorFile(context_.table, context_.doc.AnchorFolder,
                                      context_.doc.AnchorBaseName))
            return false;
        context_.state.drawMode = DrawMode::Idle;
        return true;
    case Answer::No:
        return true;
    default:
        return false;
    }
}

void CRiveviDoc::OnNewDocument() {
    context_.doc.PathName.clear();
}

bool CRiveviDoc::OpenDocumentFile(const std::string& path) {
    if (!OnOpenDocument(path)) {
        OnNewDocument();
        return false;
    }
    context_.doc.PathName = path;
    return true;
}

void CRiveviDoc::OnFileOpen() {
    EditState& s = context_.state;
    view_.PauseAndShow();
    if (s.busyWithMouse()) return;
    s.MarkSelected = false;
    s.SelectedMark = -1;
    if (!SaveBeforeDiscard()) return;

    std::string path = context_.doc.PendingOpenPath;
    if (path.empty()) {
        FileRequest request{text::kOpenTitle, text::kOpenFilter};
        request.mustExist = true;
        if (!askedBefore_) request.initialPath = "/";
        askedBefore_ = true;
        const auto chosen = chooseOpenFile(request);
        if (!chosen) return;
        path = *chosen;
    }
    context_.table.AnchorDataSaved = true;
    if (s.MovieOpen) {
        FlagScope reopening(context_.doc.Reopening);
        OnFileClose();
    }
    OpenDocumentFile(path);
}

bool CRiveviDoc::OnOpenDocument(const std::string& path) {
    DocumentState& doc = context_.doc;
    EditState& s = context_.state;
    view_.newAnchorDialog().endWithCancel();
    view_.anchorListDialog().endWithCancel();

    if (s.MovieOpen) {
        {
            FlagScope reopening(doc.Reopening);
            OnFileClose();
        }
        if (s.MovieOpen) {
            doc.clearPending();
            return false;
        }
    }
    CAnchorMovieWnd* movie = view_.movieWindow();
    if (!movie) {
        doc.clearPending();
        return false;
    }
    doc.AnchorFolder = anchors::FolderOf(path);

    WaitCursor wait;
    FlagScope opening(doc.Opening);
    if (movie->Open(path) != kMovieOk) {
        doc.clearPending();
        return false;
    }
    double xScale = 1.0, yScale = 1.0;
    movie->Scales(xScale, yScale);
    context_.table.XScale = xScale;
    context_.table.YScale = yScale;

    const std::string fileName = anchors::FileNameOf(path);
    doc.AnchorBaseName = anchors::BaseNameOf(fileName);
    doc.NameSuffix = anchors::NameSuffixOf(fileName);
    view_.ShowOpenedMovie(fileName, movie->FrameCount() - 1);

    anchors::ReadAnchorFile(context_.table, doc.AnchorFolder, doc.AnchorBaseName);

    int width = 0, height = 0;
    if (movie->ImageSize(width, height)) {
        s.PictureKnown = true;
        view_.ShowImageSize(width, height);
    }
    s.MovieOpen = true;
    context_.table.AnchorsCreated = int(context_.table.size());

    if (doc.PendingAnchorSet && !doc.PendingAnchorID.empty()) {
        view_.ClearAnchorFields();
        const int index = context_.table.FindByID(doc.PendingAnchorID);
        if (index >= 0) {
            s.EndSet = true;
            view_.ActivateAnchor(index);
        }
    }
    doc.clearPending();
    return true;
}

void CRiveviDoc::OnFileClose() {
    EditState& s = context_.state;
    s.MarkSelected = false;
    s.SelectedMark = -1;
    const bool asked = s.MovieOpen && !context_.table.AnchorDataSaved;
    if (!SaveBeforeDiscard()) return;
    if (asked) mainWindow_.repaint();
    OnNewDocument();
    if (context_.doc.Reopening) QCoreApplication::processEvents();

    if (CAnchorMovieWnd* movie = view_.movieWindow()) {
        movie->Stop();
        movie->Close(true);
    }
    context_.table.Clear();
    s.resetForClose();
    view_.ClearAllFields();
    mainWindow_.update();
}

} // namespace qxm::editor
