#pragma once
// Every text qxmanchor shows. "{}" marks where a value goes (fill() in Text.h), in order.
namespace qxm::anchortool::text {

inline constexpr const char* kProgramPrefix = "qxmanchor: ";
inline constexpr const char* kWarningPrefix = "warning: ";

inline constexpr const char* kUsage =
    "usage: qxmanchor check FILE.obj\n"
    "       qxmanchor print FILE.obj [--frames] [--origin N]\n"
    "       qxmanchor export --to FORMAT FILE.obj [--frames] [--movie MOVIE] [--origin N]"
    " [-o OUT]\n"
    "       qxmanchor import --from FORMAT IN -o FILE.obj [--origin N]\n"
    "       qxmanchor publish MOVIE -o DIR [--format mp4|webm]\n"
    "       qxmanchor --help | --version\n";

inline constexpr const char* kHelp =
    "\n"
    "Commands:\n"
    "  check   read FILE.obj with the player control's reader and with the editor's reader,\n"
    "          list each anchor (ID, name, range, key frames), report the first problem each\n"
    "          reader finds with its line and where the two readers disagree\n"
    "  print   the anchors and their key frames; with --frames every frame's rectangle as the\n"
    "          player control interpolates it\n"
    "  export  write the anchors in another format (to standard output unless -o OUT)\n"
    "  import  read boxes of another format and write them as anchor object file FILE.obj\n"
    "          through the editor's writer, keeping the key frames the player control needs\n"
    "  publish for the web: MOVIE (a movie or a Movie Object File) re-encoded with the same\n"
    "          frames at a constant rate (H.264 in MP4, or VP9 in WebM with --format webm)\n"
    "          and with its sound (AAC or Opus),\n"
    "          its anchor object file beside it, qxm-movie.js and an index.html that plays\n"
    "          them with <qxm-movie>, all in DIR; serve DIR with any static web server\n"
    "\n"
    "Export formats (--to):\n"
    "  json    anchors, ranges and key frames; with --frames every frame too\n"
    "          (docs/anchors.schema.json)\n"
    "  cvat    CVAT for video 1.1 XML: a track per anchor, a keyframe box per key frame, with\n"
    "          --frames the boxes between as keyframe=\"0\", outside=\"1\" after the last frame\n"
    "  mot     MOT Challenge ground truth: frame,id,left,top,width,height,1,-1,-1,-1 for every\n"
    "          frame of every anchor, frames from 1, ids from 1 in file order\n"
    "  webvtt  WebVTT metadata: a cue per run of frames with the same rectangle, its payload\n"
    "          the anchor and rectangle as JSON\n"
    "  coco    COCO video JSON: videos, images (one a frame), tracks (one an anchor) and a box\n"
    "          annotation per frame\n"
    "Import formats (--from): cvat, mot, json.\n"
    "\n"
    "Options:\n"
    "  --frames     print, json and cvat: every frame, not only the key frames\n"
    "  --movie M    the movie (or Movie Object File) the anchors belong to: picture size,\n"
    "               frame rate and frame count; cvat, webvtt and coco need it\n"
    "  --origin N   movie frame of anchor frame 0 (default 0, or a Movie Object File's\n"
    "               StartFrame); exported frames are movie frames, imported ones lose N\n"
    "  -o OUT       the file to write (publish: the folder)\n"
    "  --format F   publish: mp4 (default) or webm\n"
    "\n"
    "Rectangles are left,top,right,bottom in movie pixels, right and bottom outside.\n"
    "Exit status: 0 done (check: no problem), 1 problems or failure, 2 bad command line.\n";

inline constexpr const char* kOutOfMemory = "out of memory";

// Command line.
inline constexpr const char* kNoCommand = "no command given";
inline constexpr const char* kUnknownCommand = "unknown command {}";
inline constexpr const char* kUnknownOption = "unknown option {}";
inline constexpr const char* kOptionNeedsValue = "{} needs a value";
inline constexpr const char* kOptionNotFor = "{} does not apply to {}";
inline constexpr const char* kNoFile = "{} needs a file";
inline constexpr const char* kOneFile = "{} takes one file";
inline constexpr const char* kBadOrigin = "--origin {} is no frame number";
inline constexpr const char* kExportNeedsTo = "export needs --to FORMAT";
inline constexpr const char* kImportNeedsFrom = "import needs --from FORMAT";
inline constexpr const char* kImportNeedsOutput = "import needs -o FILE.obj";
inline constexpr const char* kUnknownFormat = "unknown format {} (one of {})";
inline constexpr const char* kExportFormats = "json, cvat, mot, webvtt, coco";
inline constexpr const char* kImportFormats = "cvat, mot, json";
inline constexpr const char* kNeedsMovie = "export to {} needs --movie MOVIE for the movie's {}";
inline constexpr const char* kNeedsSize = "picture size and frame count";
inline constexpr const char* kNeedsRate = "frame rate";
inline constexpr const char* kJsonNoOrigin =
    "--origin does not apply to json: its frames are anchor frames";

// Files.
inline constexpr const char* kCannotRead = "cannot read {}";
inline constexpr const char* kCannotWrite = "cannot write {}: {}";
inline constexpr const char* kMovieUnreadable = "cannot open the movie {}: {}";
inline constexpr const char* kMovieNoRate = "the movie {} has no frame rate";

// check and print.
inline constexpr const char* kPlayerReads = "player control: {} anchors";
inline constexpr const char* kPlayerReadsOne = "player control: {} anchor";
inline constexpr const char* kPlayerRefuses = "player control: refuses the file (no anchors)";
inline constexpr const char* kEditorReads = "editor: {} anchors";
inline constexpr const char* kEditorReadsOne = "editor: {} anchor";
inline constexpr const char* kEditorNoMemory = "editor: no memory to read the file";
inline constexpr const char* kAnchorLine = "{} {} frames {}-{}, {} key frames";
inline constexpr const char* kAnchorLineOne = "{} {} frames {}-{}, {} key frame";
inline constexpr const char* kFirstProblem = "first problem: {}";
inline constexpr const char* kNone = "none";
inline constexpr const char* kMoreProblems = " (and {} more)";
inline constexpr const char* kReadersAgree = "the readers agree";
inline constexpr const char* kReadersDisagree = "the readers disagree:";
inline constexpr const char* kRefusedSeeCheck =
    "{}: the player control refuses this file (qxmanchor check tells more)";
inline constexpr const char* kRefusedExport =
    "{}:{}: the player control refuses this file, so there is nothing it would show; "
    "qxmanchor check {} tells why";
inline constexpr const char* kPrintOrigin = "origin {}: frames are movie frames";
inline constexpr const char* kNoRectBefore = "{}-{}: no rectangle (before the first key frame)";
inline constexpr const char* kNoRectAfter = "{}-{}: no rectangle (after the last key frame)";
inline constexpr const char* kKeyMark = " key";

// What the player control's reader refuses.
inline constexpr const char* kPlayerHeaderFields = "the header line has fewer than three ':'";
inline constexpr const char* kPlayerEmptyId = "the header line's ID is empty";
inline constexpr const char* kPlayerRangeWithoutDash = "the header line's range has no '-'";
inline constexpr const char* kPlayerBadRange =
    "the header line's range is not START-END with 0 <= START <= END";
inline constexpr const char* kPlayerBadCount = "the header line's key-frame count is below 1";
inline constexpr const char* kPlayerFrameLineFields =
    "the line is no frame line FRAME:LEFT,TOP,RIGHT,BOTTOM;";
inline constexpr const char* kPlayerTooManyFrames = "more frame lines than the header's count";
inline constexpr const char* kPlayerFrameOutsideRange = "the frame lies outside the header's range";
inline constexpr const char* kPlayerFrameOutOfOrder = "the frame is below the one before it";
inline constexpr const char* kPlayerMemory = "memory ran out";
inline constexpr const char* kPlayerOverflow =
    "anchor {}: between key frames {} and {} the player control's 32-bit interpolation "
    "overflows, so the rectangles it shows there are wrong; add key frames between them";
inline constexpr const char* kPlayerLongLine =
    " (the line is longer than the 79 characters the player control reads as one line)";

// Where the editor's reader departs from the file.
inline constexpr const char* kEditorTextBeforeSection =
    "text before the first section: the editor ignores it";
inline constexpr const char* kEditorSectionBeforeCount =
    "a section before any MaxObject line: the editor stops reading here";
inline constexpr const char* kEditorCountOverLimit =
    "MaxObject is over 1000: the editor reads at most 1000 anchors";
inline constexpr const char* kEditorSectionBeyondCount =
    "more sections than MaxObject announces: the editor stops reading here";
inline constexpr const char* kEditorHeaderFields =
    "the header line has fewer than the four fields ID:NAME:START-END:COUNT";
inline constexpr const char* kEditorRangeWithoutDash =
    "the range has no '-': the editor takes start frame 0 and the number as end frame";
inline constexpr const char* kEditorIdCut =
    "the ID is longer than 10 bytes: the editor keeps the first 10";
inline constexpr const char* kEditorNameCut =
    "the name is longer than 40 bytes: the editor keeps the first 40";
inline constexpr const char* kEditorEntriesCut =
    "the key-frame count is more than the file can hold: the editor makes room for fewer";
inline constexpr const char* kEditorLineWithoutColon =
    "a line without ':' in a section: the editor ignores it";
inline constexpr const char* kEditorFrameLineBeyondCount =
    "more frame lines than the header's count: the editor ignores this one";
inline constexpr const char* kEditorFrameLineOpen =
    "the frame line does not end with ';': the editor fills the same key frame again from "
    "the next line";
inline constexpr const char* kEditorLineSplit =
    "the line is longer than 259 bytes: the editor reads its rest as a line of its own";
inline constexpr const char* kEditorMissingLines =
    "the header announces {} key frames but {} frame lines follow: the editor keeps the "
    "others as 0:0,0,0,0";
inline constexpr const char* kEditorIdRules =
    "the ID {} breaks the editor's rules (1 to 10 letters, digits or ! # $ % & ( ) - ^ _ { } ~)";
inline constexpr const char* kEditorNameRules =
    "the name {} breaks the editor's rules (1 to 40 bytes without ':', ',' or space)";
inline constexpr const char* kEditorDuplicateId = "the ID {} is taken by the anchor of line {}";
inline constexpr const char* kEditorBadRange = "the range {}-{} is no range of frames from 0 up";
inline constexpr const char* kEditorNoKeys = "the anchor has no key frames";
inline constexpr const char* kEditorOrder = "key frame {} follows key frame {}: frames must ascend";
inline constexpr const char* kEditorOutside = "key frame {} lies outside the range {}-{}";
inline constexpr const char* kEditorStartKey = "the first key frame is {}, not the start frame {}";
inline constexpr const char* kEditorEndKey = "the last key frame is {}, not the end frame {}";

// Where the readers disagree.
inline constexpr const char* kPlayerRefusesEditorReads =
    "the editor reads {} anchor(s) but the player control refuses the whole file: viewers see "
    "no anchors";
inline constexpr const char* kCountsDiffer = "the editor reads {} anchor(s), the player control {}";
inline constexpr const char* kIdDiffers =
    "anchor {}: the player control's ID is {} (events carry it), the editor's {}";
inline constexpr const char* kSameIdToPlayer =
    "anchors {} and {} have the same ID {} to the player control: it finds only the first";
inline constexpr const char* kNameDiffers =
    "anchor {}: the player control's name is {}, the editor's {}";
inline constexpr const char* kRangeDiffers =
    "anchor {}: the player control's range is {}, the editor's {}";
inline constexpr const char* kKeysDiffer =
    "anchor {}: key frame {} is {} to the player control and {} to the editor";
inline constexpr const char* kNoKeyFrame = "missing";

// export.
inline constexpr const char* kJsonFormatName = "qxm-anchors";
inline constexpr int kJsonFormatVersion = 1;
inline constexpr const char* kCvatIdAttribute = "anchor_id";
inline constexpr const char* kNoAnchors = "{} holds no anchors";
inline constexpr const char* kCocoDescription = "Anchors of {}";
inline constexpr const char* kWebVttNote =
    "Anchors at {}/{} frames a second. Each cue holds one anchor's rectangle in movie pixels\n"
    "(right and bottom outside) over a run of frames with that rectangle.";
inline constexpr const char* kNotUtf8 =
    "anchor {}: bytes that are no character were written as U+FFFD";
inline constexpr const char* kAnchorWithoutKeys = "anchor {} has no key frame and is left out";
inline constexpr const char* kAnchorOutsideMovie =
    "anchor {} lies wholly outside the movie's frames and is left out";
inline constexpr const char* kFramesBeforeMovie =
    "anchor {}: its frames before the movie's frame 0 are left out";
inline constexpr const char* kFramesAfterMovie =
    "anchor {}: its frames {} to {} lie after the movie's last frame and are left out";

// import.
inline constexpr const char* kImported = "{}: {} anchors, {} key frames";
inline constexpr const char* kTooManyTracks =
    "{} holds more than {} tracks, more than an anchor object file can hold";
inline constexpr const char* kTooManyAnchors =
    "the tracks make more than {} anchors, more than an anchor object file can hold";
inline constexpr const char* kTrackEmpty = "{} has no box and is left out";
inline constexpr const char* kTrackSplit =
    "{} leaves the picture and comes back: it becomes {} anchors";
inline constexpr const char* kFramesOutsideRange =
    "{}: boxes before the origin or beyond frame 2147483647 are left out";
inline constexpr const char* kTwoBoxes = "{} has two different boxes at frame {}";
inline constexpr const char* kKeyOverridesBox =
    "{}: at frame {} a box differs from the key frame there; the key frame counts";
inline constexpr const char* kRangeMismatch =
    "{}: its range {}-{} does not hold its key frames {}-{}";
inline constexpr const char* kIdChanged = "{}: ID {} becomes {} ({})";
inline constexpr const char* kIdReasonEmpty = "an ID cannot be empty";
inline constexpr const char* kIdReasonLong = "an ID has at most 10 bytes";
inline constexpr const char* kIdReasonChars =
    "an ID holds letters, digits and ! # $ % & ( ) - ^ _ { } ~ only";
inline constexpr const char* kIdReasonTaken = "another anchor has that ID";
inline constexpr const char* kNameChanged = "{}: name {} becomes {} ({})";
inline constexpr const char* kNameReasonEmpty = "a name cannot be empty";
inline constexpr const char* kNameReasonLong = "a name has at most 40 bytes";
inline constexpr const char* kNameReasonChars = "a name holds no ':', ',' or space";
inline constexpr const char* kPlayerCutsId =
    "{}: the player control reads only the first 9 bytes of ID {}: its events carry {}";
inline constexpr const char* kPlayerCutsName =
    "{}: the player control reads only the first 39 bytes of name {}: {}";
inline constexpr const char* kNotInCodePage =
    "{}: {} holds characters the code page lacks, written as '?'";
inline constexpr const char* kOutputNotObj = "{}: an anchor object file's name ends in .obj";
inline constexpr const char* kNothingToWrite = "no anchors to write: the input holds no boxes";
inline constexpr const char* kWriteFailed = "cannot write {}: {}";
inline constexpr const char* kPlayerRefusesWritten =
    "{} was written, but the player control refuses it at line {} (qxmanchor check tells why)";
inline constexpr const char* kWrittenDiffers =
    "{} was written, but the player control reads other key frames from it";

// MOT.
inline constexpr const char* kMotTrackLabel = "track {}";
inline constexpr const char* kMotTrackName = "track{}";
inline constexpr const char* kMotLongLine = "the line is longer than {} bytes: this is no MOT file";
inline constexpr const char* kMotBinary = "the line holds a zero byte: this is no MOT file";
inline constexpr const char* kMotColumns =
    "{} columns; a MOT line has 6 to 10: frame,id,left,top,width,height[,...]";
inline constexpr const char* kMotNumber = "column {} is no number: {}";
inline constexpr const char* kMotFrame = "the frame {} is no whole number from 1 up";
inline constexpr const char* kMotId = "the id is no whole number from 0 up (a box of no track)";
inline constexpr const char* kMotBox = "the box lies beyond the 32-bit range of an anchor";

// CVAT.
inline constexpr const char* kCvatTrackLabel = "track {}";
inline constexpr const char* kCvatRoot =
    "the root element is <{}>, not <annotations>: this is no CVAT XML file";
inline constexpr const char* kCvatEmpty = "no XML element: this is no CVAT XML file";
inline constexpr const char* kCvatXml = "not well-formed XML: {}";
inline constexpr const char* kCvatImages =
    "<image> elements are CVAT for images; export the task as CVAT for video 1.1";
inline constexpr const char* kCvatVersion = "CVAT XML version {}: read as version 1.1";
inline constexpr const char* kCvatAttribute = "a <box> without its {} attribute";
inline constexpr const char* kCvatNumber = "a <box> whose {} is no number: {}";
inline constexpr const char* kCvatFlag = "a <box> whose {} is neither 0 nor 1: {}";
inline constexpr const char* kCvatSameFrame = "{} has two boxes at one frame";
inline constexpr const char* kCvatBoxRange = "{}: the box at frame {} lies beyond the 32-bit range";
inline constexpr const char* kCvatOtherShapes = "{}: {} shapes that are no boxes are left out";

// JSON.
inline constexpr const char* kJsonAt = "{}: {}";
inline constexpr const char* kJsonAfterEnd = "text after the end of the JSON value";
inline constexpr const char* kJsonTruncated = "the text ends inside a JSON value";
inline constexpr const char* kJsonKey = "expected a key in double quotes";
inline constexpr const char* kJsonColon = "expected ':' after the key";
inline constexpr const char* kJsonCommaOrBrace = "expected ',' or '}'";
inline constexpr const char* kJsonCommaOrBracket = "expected ',' or ']'";
inline constexpr const char* kJsonValue = "expected a JSON value";
inline constexpr const char* kJsonNumber = "a malformed number";
inline constexpr const char* kJsonDeep = "values nested more than 64 deep";
inline constexpr const char* kJsonLongString = "a string longer than 65536 bytes";
inline constexpr const char* kJsonControl = "a control character inside a string";
inline constexpr const char* kJsonEscape = "a malformed escape in a string";
inline constexpr const char* kJsonNotOurs =
    "this is no anchor JSON (an object with \"format\": \"qxm-anchors\" and \"anchors\")";
inline constexpr const char* kJsonVersion = "\"version\" is no whole number from 1 up";
inline constexpr const char* kJsonNewer = "a newer version of the anchor JSON than this tool reads";
inline constexpr const char* kJsonWantNumber = "expected a number";
inline constexpr const char* kJsonWantFrame = "expected a whole frame number";
inline constexpr const char* kJsonWantString = "expected a string";
inline constexpr const char* kJsonWantArray = "expected an array";
inline constexpr const char* kJsonWantObject = "expected an anchor object";
inline constexpr const char* kJsonFrameShape =
    "a frame is [frame, left, top, right, bottom], whole numbers in the 32-bit range";
inline constexpr const char* kJsonAnchorLabel = "anchor {}";

// Publishing for the web.
inline constexpr const char* kPublishFormats = "mp4, webm";
inline constexpr const char* kPublishNeedsOutput = "publish needs -o DIR";
inline constexpr const char* kPublished =
    "published {}: {} frames, {}x{}, {} frames a second{}; {} anchors; open {} through a web "
    "server";
inline constexpr const char* kPublishedSound = ", with sound";
inline constexpr const char* kPublishNoEncoder = "this FFmpeg has no {} encoder";
inline constexpr const char* kPublishEncodeFailed = "encoding failed: {}";
inline constexpr const char* kPublishSoundFailed = "the sound track cannot be carried over: {}";
inline constexpr const char* kPublishRefusedAnchors =
    "{}:{}: the web player refuses this anchor object file as the player control does; "
    "qxmanchor check {} tells why";
inline constexpr const char* kPublishNoAnchorFile =
    "{} has no anchor object file: the movie is published without anchors";
inline constexpr const char* kPublishOddSize =
    "H.264 needs an even picture size, the movie is {}x{}: publish with --format webm";
inline constexpr const char* kPublishChoseWebM =
    "the picture is {}x{}, which H.264 cannot take: writing VP9 in WebM instead";
inline constexpr const char* kPublishNoPlayer =
    "the web player qxm-movie.js is missing (looked for {}; QXM_WEB_PLAYER names another)";
inline constexpr const char* kPublishFrameUnreadable = "frame {} of {} cannot be decoded";
inline constexpr const char* kPublishFrameCount =
    "{} holds {} frames instead of {}: the published movie would not be frame exact";

// The published page: the title, then the title again and the element.
inline constexpr const char* kPublishPageHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{}</title>
<script type="module" src="qxm-movie.js"></script>
<style>
body { font-family: sans-serif; margin: 2em; background: #f4f4f4; color: #222; }
#events { font-family: monospace; white-space: pre-line; min-height: 8em; }
</style>
</head>
)";
inline constexpr const char* kPublishPageBody = R"(<body>
<h1>{}</h1>
{}
<p>Point at an anchor and click it. Keyboard: Tab moves between the anchors of the frame shown,
Enter activates one, Space plays and pauses.</p>
<h2>Events</h2>
<div id="events" aria-live="polite"></div>
<script type="module">
const movie = document.querySelector('qxm-movie');
const log = document.getElementById('events');
const show = (line) => {
  log.textContent = [line, ...log.textContent.split('\n')].slice(0, 8).join('\n');
};
for (const name of ['OnCursorIn', 'OnCursorOut', 'OnActivateAnchor']) {
  movie.addEventListener(name, (e) => show(name + ' ' + e.detail.AnchorID));
}
movie.addEventListener('OnError', (e) => show('OnError ' + e.detail.ErrorNum));
</script>
</body>
</html>
)";

} // namespace qxm::anchortool::text
