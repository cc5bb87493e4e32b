#pragma once
// Names derived from the path of an opened movie or Movie Object File. '/' separates
// folders; every scan steps over multibyte characters of the active code page.
#include <string>
#include <string_view>

namespace qxm::anchors {

// Everything before the last '/': "" for a file in the root folder, "." when the path has
// no folder at all, so that Folder + "/" + name always names the file again.
std::string FolderOf(std::string_view path);

// What follows the last '/'.
std::string FileNameOf(std::string_view path);

// The file name up to its first '.' (my.clip.avi gives my), and the rest from that dot.
std::string BaseNameOf(std::string_view fileName);
std::string NameSuffixOf(std::string_view fileName);

struct OpenedFileNames {
    std::string Folder;     // see FolderOf
    std::string BaseName;   // see BaseNameOf, of the file name
    std::string NameSuffix; // see NameSuffixOf, of the file name
};
OpenedFileNames SplitOpenedPath(std::string_view path);

// "%s/%s.obj": the anchor object file of a movie or Movie Object File.
std::string AnchorFilePath(std::string_view folder, std::string_view baseName);

} // namespace qxm::anchors
