#pragma once
// Export of anchors to exchange formats. Every rectangle between key frames is the one the
// player control computes; frames count from the movie's frame 0 (anchor frame + origin),
// except in the tool's own JSON, which keeps the anchor frames and records the origin.
#include "tools/anchor/Anchors.h"
#include "tools/anchor/Output.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qxm::anchortool {

enum class ExportFormat { Json, Cvat, Mot, WebVtt, Coco };

std::optional<ExportFormat> parseExportFormat(std::string_view name);
const char* exportFormatName(ExportFormat format);
// cvat, webvtt and coco need the movie's size or frame rate; json and mot do not.
bool exportNeedsMovie(ExportFormat format);

struct ExportOptions {
    ExportFormat format = ExportFormat::Json;
    bool frames = false;     // json and cvat: every frame too, not only the key frames
    std::int64_t origin = 0; // movie frame of anchor frame 0
    std::optional<MovieFacts> movie;
    std::string source; // name of the anchor object file, for the headers that name it
};

// Writes the anchors in the chosen format. What the format cannot hold (frames outside the
// movie, characters outside UTF-8) is left out or replaced with a line in warnings.
void exportAnchors(const std::vector<Anchor>& anchors, const ExportOptions& options, Output& out,
                   std::vector<std::string>& warnings);

} // namespace qxm::anchortool
