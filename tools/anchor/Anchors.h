#pragma once
// The anchors of an anchor object file as the tool sees them: read by the player control's
// reader (what viewers get) and by the editor's reader (what authors get), the frames between
// key frames as the player interpolates them, and the movie an export is made for.
#include "editor/anchors/AnchorFile.h"
#include "editor/anchors/AnchorTable.h"
#include "platform/prompter/Prompter.h"
#include "player_control/anchors/AnchorGeometry.h"
#include "player_control/anchors/DefAnchor.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qxm::anchortool {

using Anchor = qxm::DefAnchorRecord;

struct PlayerReading {
    int result = 0; // 0, ANCHOR_ERR_FORMAT or ANCHOR_ERR_MEMORY
    AnchorLoadProblem problem;
    std::vector<Anchor> anchors; // empty when the reader refused the file
};

// Reads through CDefAnchor::LoadAnchors (the path must name a readable regular file).
PlayerReading readWithPlayer(const std::string& path);

struct EditorReading {
    anchors::ReadStatus status = anchors::ReadStatus::NoFile;
    anchors::AnchorTable table;
    anchors::AnchorFileTrace trace;
    std::vector<std::string> messages; // message boxes the reader showed
};

// Reads through the editor's ReadAnchorFileAt at scale 1.0 (movie pixels), with its trace.
EditorReading readWithEditor(const std::string& path);

// Collects the message boxes the anchor code shows while it lives, instead of letting them
// reach the terminal.
class CollectedPrompts : public PromptHandler {
public:
    explicit CollectedPrompts(std::vector<std::string>& into);
    ~CollectedPrompts() override;
    CollectedPrompts(const CollectedPrompts&) = delete;
    CollectedPrompts& operator=(const CollectedPrompts&) = delete;
    Answer ask(const Prompt& prompt) override;

private:
    std::vector<std::string>& into_;
    PromptHandler* previous_;
};

// True when path names a regular file that can be opened for reading.
bool readableFile(const std::string& path);

// Calls fn(frame, rect, isKeyFrame) for every frame at which the anchor has a rectangle, in
// ascending order: from its first to its last key frame, each rectangle exactly as the player
// control computes it (anchorRectAt). Walks the key frames in order, interpolating with the
// control's interpolateAnchorValue, instead of searching them anew for every frame.
template <class Fn> void forEachFrame(const Anchor& a, Fn&& fn) {
    const std::vector<AnchorFrameEntry>& e = a.entries;
    if (e.empty()) return;
    bool ordered = e.front().frame >= a.startFrame && e.back().frame <= a.endFrame;
    for (std::size_t k = 1; ordered && k < e.size(); ++k)
        ordered = e[k - 1].frame < e[k].frame;
    if (!ordered) {
        // Not as the control's reader leaves records: ask the control's lookup frame by frame.
        for (std::int64_t f = e.front().frame; f <= e.back().frame; ++f) {
            AnchorRect rect;
            if (anchorRectAt(a, static_cast<std::int32_t>(f), rect))
                fn(static_cast<std::int32_t>(f), rect, false);
        }
        return;
    }
    fn(e.front().frame, e.front().rect, true);
    for (std::size_t k = 1; k < e.size(); ++k) {
        const AnchorFrameEntry& b = e[k - 1];
        const AnchorFrameEntry& n = e[k];
        for (std::int32_t f = b.frame + 1; f < n.frame; ++f) {
            const AnchorRect rect{
                interpolateAnchorValue(b.rect.left, n.rect.left, f, b.frame, n.frame),
                interpolateAnchorValue(b.rect.top, n.rect.top, f, b.frame, n.frame),
                interpolateAnchorValue(b.rect.right, n.rect.right, f, b.frame, n.frame),
                interpolateAnchorValue(b.rect.bottom, n.rect.bottom, f, b.frame, n.frame)};
            fn(f, rect, false);
        }
        fn(n.frame, n.rect, true);
    }
}

// The part of an anchor inside the anchor frames [low, high]: key frames outside are dropped
// and, where the cut falls between key frames, the rectangle there becomes a key frame, so
// every frame inside keeps its rectangle. Nothing when no frame of the anchor has a rectangle
// inside.
std::optional<Anchor> clipAnchor(const Anchor& a, std::int64_t low, std::int64_t high);

// An anchor built from key frames (strictly ascending), range from the first to the last.
Anchor makeAnchor(std::string id, std::string name, std::vector<AnchorFrameEntry> keys);

// The movie an export is made for.
struct MovieFacts {
    std::string file; // the movie's file name (without folder)
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t fpsNum = 0;
    std::int32_t fpsDen = 1;
    std::int32_t frameCount = 0;
    std::int64_t origin = 0; // movie frame of anchor frame 0 (a Movie Object File's StartFrame)
};

// Opens a movie (or a Movie Object File, whose StartFrame becomes the origin and whose range
// the frame count) through the frame source; nothing, with a reason, when it cannot.
std::optional<MovieFacts> readMovie(const std::string& path, std::string& why);

} // namespace qxm::anchortool
