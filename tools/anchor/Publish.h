#pragma once
// qxmanchor publish: a movie and its anchors made ready for a web page. The movie is re-encoded
// frame by frame into a format browsers play (H.264 in MP4 or VP9 in WebM) with the same frames
// at a constant frame rate, the anchor object file is copied beside it under the name the web
// player derives from the movie's, and index.html plays both with <qxm-movie>.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qxm::anchortool {

enum class PublishFormat { Mp4, WebM };

std::optional<PublishFormat> parsePublishFormat(std::string_view name);

struct PublishOptions {
    std::string movie;                   // a movie file or a Movie Object File
    std::string outDir;                  // created when missing
    std::optional<PublishFormat> format; // none: MP4, or WebM for a picture H.264 cannot take
    std::string playerScript;            // qxm-movie.js to copy beside the page
};

struct PublishResult {
    std::string videoFile;  // in outDir
    std::string anchorFile; // in outDir; empty when the movie has no anchor object file
    std::string pageFile;   // index.html in outDir
    PublishFormat format = PublishFormat::Mp4;
    std::int32_t frames = 0;
    std::int32_t fpsNum = 0;
    std::int32_t fpsDen = 1;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int64_t origin = 0; // movie frame of anchor frame 0
    int anchors = 0;
    bool sound = false; // the movie's sound track was carried over
};

// Publishes the movie. False with a reason when the movie cannot be read, its anchor object
// file is malformed (the web player would refuse it), or a file cannot be written; what does
// not stop publishing (no anchors, a format chosen for the picture size) goes to warnings.
bool publishMovie(const PublishOptions& options, PublishResult& result,
                  std::vector<std::string>& warnings, std::string& error);

// The player script next to the running program: <program folder>/../share/qxm/web/qxm-movie.js,
// as the build tree and the installed tree both lay it out. QXM_WEB_PLAYER overrides it.
std::string defaultPlayerScript();

// The page that plays a published movie (exposed for the tests).
std::string publishedPage(const std::string& title, const std::string& videoName,
                          const std::string& frameRate, std::int64_t origin);

// A file name as a relative URL: every byte outside the unreserved characters percent-encoded.
std::string urlEncodeName(std::string_view name);

} // namespace qxm::anchortool
