#pragma once
// The standalone player's window, titled "Movie Player": the player control created by its
// class id and shown with its panel, File (Open..., Edit in Movie Marquill, Exit) and View
// (Full Screen; Esc leaves it) menus, and a status line with the control's anchor events.
//
// Its link server "VEZURO" takes, on topic "MESSAGE", the editor's hand-over "path",ID,0
// (open the file, enable the anchor) and, on topic "SYSTEM", the commands "[Edit]" (what
// Edit in Movie Marquill does; acknowledged when the editor took the request) and "[Quit]".
#include <QMainWindow>

#include <deque>
#include <optional>
#include <string>

#include "editor/anchors/MovieObjectFile.h"
#include "editor/view/CQXMovie.h"
#include "platform/dde/Dde.h"

class QLabel;

namespace qxm::player {

inline constexpr const char* kSystemTopic = "SYSTEM";
inline constexpr const char* kEditCommand = "[Edit]";
inline constexpr const char* kQuitCommand = "[Quit]";
// Bytes of a link message the player reads: a whole hand-over, or a plain path.
inline constexpr qsizetype kMaxLinkMessage = 4096;

class PlayerWindow : public QMainWindow {
public:
    // option: the /I value the player was started with (handed back to an editor it starts).
    explicit PlayerWindow(std::string option);
    ~PlayerWindow() override;

    // Starts the link server; false (with *error) when it cannot, for instance because another
    // player runs.
    bool startLink(QString* error);
    // Creates the control in the window; false after "Could not create QX-MOVIE Control !".
    bool createControl();

    // Opens a movie or a Movie Object File (its movie, played over its range of frames) and
    // enables the anchor when one is given, after any open that is under way. The control opens
    // movies in the background; a failure is told in a message.
    void openFile(std::string path, std::string anchorId);
    // Sends the open file and the selected anchor to the editor, starting it when it does not
    // run; false after a message.
    bool editInMarquill();
    void setFullScreen(bool on);

private:
    bool onLink(const QString& topic, const QByteArray& data);
    void onEvent(DispId id, Args args);
    void chooseFile();
    void fitToMovie();
    void showStatus(const QString& text);
    void startNextOpen();
    void finishOpen(bool opened);
    // Lets the opens under way and waiting finish (bounded), dispatching events meanwhile.
    void waitForOpens();

    editor::CQXMovie control_;
    QWidget* stage_ = nullptr; // holds the control's window; owned by this window
    QLabel* statusLine_ = nullptr;
    QAction* leaveFullScreen_ = nullptr;
    dde::DdeServer server_;
    std::string option_;
    std::string path_;     // the open file (movie or Movie Object File)
    std::string anchorId_; // the anchor enabled or last activated
    struct Open {
        std::string path;
        std::string anchorId;
        std::optional<anchors::MovieObject> mob;
    };
    std::deque<Open> queue_;      // files waiting to be opened
    std::optional<Open> opening_; // the file whose movie the control is opening
    bool editing_ = false;        // Edit in Movie Marquill is under way
};

} // namespace qxm::player
