#include "editor/anchors/AnchorPaths.h"

#include "platform/codepage/CodePage.h"

namespace qxm::anchors {

namespace cp = qxm::codepage;

std::string FolderOf(std::string_view path) {
    const std::size_t slash = cp::findLastOf(path, "/");
    if (slash == std::string_view::npos) return ".";
    return std::string(path.substr(0, slash));
}

std::string FileNameOf(std::string_view path) {
    const std::size_t slash = cp::findLastOf(path, "/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string BaseNameOf(std::string_view fileName) {
    return std::string(fileName.substr(0, cp::findFirstOf(fileName, ".")));
}

std::string NameSuffixOf(std::string_view fileName) {
    const std::size_t dot = cp::findFirstOf(fileName, ".");
    return dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot));
}

OpenedFileNames SplitOpenedPath(std::string_view path) {
    const std::string name = FileNameOf(path);
    return {FolderOf(path), BaseNameOf(name), NameSuffixOf(name)};
}

std::string AnchorFilePath(std::string_view folder, std::string_view baseName) {
    std::string p(folder);
    p += '/';
    p += baseName;
    p += ".obj";
    return p;
}

} // namespace qxm::anchors
