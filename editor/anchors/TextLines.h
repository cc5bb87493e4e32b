#pragma once
// Line input of the anchor files: the text-mode reading of a buffered C stream, in pieces of
// a bounded size, and the decimal conversion the file formats use.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace qxm::anchors {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a regular file for reading; null for a missing file and for anything that is not a
// regular file (a folder, a pipe, a device), which is never waited on. size receives the
// file's size in bytes.
FilePtr OpenTextFile(const std::string& path, std::size_t* size = nullptr);

// Reads a stream as lines, each delivered in pieces of at most maxBytes bytes; a longer line
// goes on as the next piece. CR LF counts as one line feed. The line feed ends a piece and
// is part of it; the text of a piece ends at its first NUL byte.
class LineReader {
public:
    LineReader(std::FILE* file, std::size_t maxBytes) : file_(file), max_(maxBytes) {}
    // False at the end of the stream.
    bool next(std::string& piece);
    // True when the last piece ended its line (with a line feed or the end of the stream),
    // false when the line goes on in the next piece.
    bool endedLine() const { return endedLine_; }

private:
    std::FILE* file_;
    std::size_t max_;
    bool endedLine_ = true;
};

// Strips one trailing line feed.
std::string_view withoutLineFeed(std::string_view piece);

// Decimal conversion that stops at the first non-digit: leading blanks and one sign are
// taken, no digits give 0, values beyond 32 bits saturate.
int32_t ParseDecimal(std::string_view text);

} // namespace qxm::anchors
