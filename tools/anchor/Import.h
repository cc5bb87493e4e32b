#pragma once
// Import of boxes from exchange formats into an anchor object file: the readers of CVAT for
// video XML, MOT Challenge text and the tool's own JSON produce tracks of per-frame boxes, the
// builder turns them into anchors with only the key frames the player control's interpolation
// needs, and the editor's writer writes them.
#include "tools/anchor/Anchors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qxm::anchortool {

enum class ImportFormat { Cvat, Mot, Json };

std::optional<ImportFormat> parseImportFormat(std::string_view name);
const char* importFormatName(ImportFormat format);

// One box of a track at one frame (anchor frames, after the origin was taken off).
struct Sample {
    std::int64_t frame = 0;
    AnchorRect rect;
    bool key = false; // the source marks it as a key frame: it stays one
};

struct Track {
    std::string label; // how messages name the track: "track 3", "anchor CAR1"
    std::string id;    // wanted ID and name, in the code page; may break the editor's rules
    std::string name;
    std::vector<Sample> samples;
    // Frames missing between two samples mean the object is absent there (MOT), rather than
    // interpolated (CVAT key frames); the track becomes one anchor per run of frames.
    bool splitAtGaps = false;
    // A range wider than the samples (the tool's JSON keeps it).
    std::optional<std::int32_t> startFrame, endFrame;
};

struct ImportOptions {
    ImportFormat format = ImportFormat::Json;
    std::int64_t origin = 0; // movie frame of anchor frame 0 (cvat and mot)
};

// Reads the input file into tracks. False with a message naming the line when the input is not
// what the format describes.
bool readTracks(const std::string& path, const ImportOptions& options, std::vector<Track>& tracks,
                std::vector<std::string>& warnings, std::string& error);

// Per format, for readTracks.
bool readCvatTracks(const std::string& path, std::int64_t origin, std::vector<Track>& tracks,
                    std::vector<std::string>& warnings, std::string& error);
bool readMotTracks(const std::string& path, std::int64_t origin, std::vector<Track>& tracks,
                   std::vector<std::string>& warnings, std::string& error);
bool readJsonTracks(const std::string& path, std::vector<Track>& tracks,
                    std::vector<std::string>& warnings, std::string& error);

// The key frames from which the player's interpolation gives back every sample exactly:
// always the first, the last and every sample marked key. Samples ascend strictly by frame.
std::vector<AnchorFrameEntry> reduceToKeyFrames(const std::vector<Sample>& samples);

// Tracks to anchors: samples sorted, frames outside 0..2^31-1 left out, tracks split where
// they are absent, key frames reduced, IDs and names made valid by the editor's rules (and
// unique), each change told in warnings. False when two different boxes share a frame or when
// more than an anchor object file holds (1000) would result.
bool buildAnchors(std::vector<Track> tracks, std::vector<Anchor>& anchors,
                  std::vector<std::string>& warnings, std::string& error);

// Writes the anchors through the editor's writer to path (which must end in ".obj"), then
// reads the file back with the player control's reader and checks that every key frame
// arrived.
bool writeAnchors(const std::string& path, const std::vector<Anchor>& anchors, std::string& error);

} // namespace qxm::anchortool
