#pragma once
// The editor program: single instance, the link server, the command line, the main window
// with its form and document, the tracking library, and the command routing between them.
#include <memory>
#include <string>
#include <vector>

#include "editor/view/EditState.h"

namespace qxm::dde {
class DdeServer;
}
namespace qxm::toplevel {
class TopLevelPresence;
}

namespace qxm::editor {

class CMainFrame;
class CRivEviFV;
class CRiveviDoc;

struct StartOptions {
    std::vector<std::string> arguments; // the command line, without the program name
    std::string trackingLibrary = "libqxmtrack.so";
};

class CRiveviApp {
public:
    CRiveviApp();
    ~CRiveviApp();
    CRiveviApp(const CRiveviApp&) = delete;
    CRiveviApp& operator=(const CRiveviApp&) = delete;

    // Starts the program: false when it is to end at once (another editor runs, the link
    // server cannot start, the player control cannot be created).
    bool InitInstance(const StartOptions& options);
    // Releases the anchors and unloads the tracking library.
    int ExitInstance();

    // The Open command (57601) and About (57664).
    void OnFileOpen();
    void OnAppAbout();

    EditorContext& context() { return context_; }
    CMainFrame* mainFrame() const { return frame_.get(); }
    CRivEviFV* view() const { return view_; }
    CRiveviDoc* document() const { return doc_.get(); }
    void* trackingLibrary() const { return tracking_; }

private:
    void routeCommands();
    void onExecute(const std::string& data);
    void postFileOpen();
    void onApplicationState(bool active);

    EditorContext context_;
    std::unique_ptr<toplevel::TopLevelPresence> presence_;
    std::unique_ptr<dde::DdeServer> dde_;
    std::unique_ptr<CMainFrame> frame_;
    CRivEviFV* view_ = nullptr; // owned by the frame
    std::unique_ptr<CRiveviDoc> doc_;
    void* tracking_ = nullptr;
    bool movieWindowFailed_ = false;
};

} // namespace qxm::editor
