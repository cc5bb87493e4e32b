#pragma once
// The link between the editor and the standalone player qxmplay. The editor's Movie Player
// command saves the work, makes sure the player runs (a top-level window titled "Movie Player"),
// hands it the document and the current anchor as
//   "path",anchorID,0
// on "VEZURO"/"MESSAGE", and closes the editor. The player sends an open request of the same
// shape back to the editor's "ZIZAZI"/"MESSAGE" (OpenRequest.h). The names, texts and the text
// forms live here so that both programs use one copy.
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "editor/anchors/AnchorTexts.h"
#include "editor/view/EditState.h"

class QWidget;

namespace qxm::editor {

class CRivEviFV;

namespace link {

inline constexpr const char* kEditorService = "ZIZAZI";
inline constexpr const char* kPlayerService = "VEZURO";
inline constexpr const char* kTopic = "MESSAGE";
inline constexpr const char* kPlayerTitle = "Movie Player";               // the player's window
inline constexpr const char* kEditorTitle = anchors::text::kProgramTitle; // the editor's window
inline constexpr const char* kPlayerProgram = "qxmplay";
inline constexpr const char* kEditorProgram = "qxmedit";
inline constexpr const char* kOptionSwitch = "/I";
// The /I value of an editor started without one by the player or from the desktop menu, so
// that Movie Player is available there too.
inline constexpr const char* kDefaultPlayerOption = "qxmplay";

inline constexpr int kPlayerWindowWaitMs = 30000; // for the player's window after its start
inline constexpr int kEditorWaitMs = 30000;       // for the editor's server after its start
inline constexpr int kExecuteTimeoutMs = 60000;
inline constexpr std::size_t kMaxHandOverBytes = 255;

} // namespace link

namespace text {

inline constexpr const char* kSaveChanges = "Save The changes?";
inline constexpr const char* kPlayerFailed = "Failed To Call Movie Player.";

} // namespace text

// The hand-over text "%s,%s,0" of the quoted path and the ID; nothing when it would exceed
// link::kMaxHandOverBytes or the path holds a double quote (the player could not tell where
// it ends): a shortened path would name another file.
std::optional<std::string> HandOverText(std::string_view path, std::string_view anchorId);

// The open request the player sends to the editor, of the same shape; nothing when the editor
// would not read all of it (OpenRequest.h keeps kOpenRequestBytes) or the path holds a quote.
std::optional<std::string> OpenRequestText(std::string_view path, std::string_view anchorId);

struct HandOver {
    std::string path;
    std::string anchorId; // empty: no anchor
};

// Reads a hand-over text (up to a NUL): "path",ID,... gives the path between the quotes and the
// ID up to the next comma (or the end); any other text is taken whole as a path. Nothing for
// an empty text.
std::optional<HandOver> ParseHandOver(std::string_view data);

// A companion program: beside the running program first, then on PATH. Empty when neither
// has an executable of that name.
QString FindCompanionProgram(const QString& name);

struct PlayerLinkSettings {
    QString program;                              // empty: FindCompanionProgram("qxmplay")
    int windowWaitMs = link::kPlayerWindowWaitMs; // negative: without limit
};

struct PlayerLinkResult {
    qint64 startedPid = 0;   // the player this call started (0: none)
    bool handedOver = false; // the player acknowledged the hand-over
    bool closing = false;    // a close request went to the main window
};

// The Movie Player command: pauses, offers to save unsaved anchors ("Save The changes?", OK
// and Cancel), starts the player with /I"PlayerOption" in StartFolder unless its window exists
// and waits for that window (bounded), then, with a movie open, hands over the document and the
// current anchor and asks the main window to close as the user would. "Failed To Call Movie
// Player." when the player cannot be started, does not show its window in time, or the
// hand-over text would be too long; the editor then stays as it was.
PlayerLinkResult LinkToPlayer(EditorContext& context, CRivEviFV& view, QWidget& mainWindow,
                              const PlayerLinkSettings& settings = {});

// Registers the player control module that was installed with this program
// (<program folder>/../lib/libqxmovie.so) when the user's registry has no working entry for the
// control's class (none, or its module file is gone). True when the class is usable afterwards
// as far as the registry tells; *message says what went wrong otherwise.
bool RegisterControlIfMissing(std::string* message = nullptr);

} // namespace qxm::editor
