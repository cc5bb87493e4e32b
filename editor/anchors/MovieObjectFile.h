#pragma once
// The Movie Object File (.mob): a movie file and a working range of its frames, as
//   MovieFile=<name relative to the .mob's folder>
//   StartFrame=<first frame>
//   EndFrame=<last frame>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qxm::anchors {

struct MovieObject {
    std::string MoviePath; // the movie file as found on disk
    int32_t StartFrame = 0;
    int32_t EndFrame = 0;
};

// Reads a Movie Object File. Fails without a message when the file cannot be opened, and
// after a message (caption: the program's title) when its content is wrong or the movie is
// missing.
std::optional<MovieObject> ReadMovieObjectFile(const std::string& mobPath);

// Finds the movie a Movie Object File names. The name is lower-cased and '\' in it
// separates folders; when no file of that path exists, each part of the path is looked up
// without regard to letter case in its folder (the first match in byte order wins).
// Returns the path of an existing regular file, or nothing.
std::optional<std::string> FindMovieFile(std::string_view folder, std::string_view name);

} // namespace qxm::anchors
