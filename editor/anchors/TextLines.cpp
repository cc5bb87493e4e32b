#include "editor/anchors/TextLines.h"

#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace qxm::anchors {

FilePtr OpenTextFile(const std::string& path, std::size_t* size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FilePtr file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    if (size) *size = static_cast<std::size_t>(st.st_size);
    return file;
}

bool LineReader::next(std::string& piece) {
    piece.clear();
    endedLine_ = true;
    while (piece.size() < max_) {
        int c = getc_unlocked(file_);
        if (c == EOF) break;
        if (c == '\r') {
            const int following = getc_unlocked(file_);
            if (following == '\n')
                c = '\n';
            else if (following != EOF)
                ungetc(following, file_);
        }
        piece.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    if (piece.size() == max_ && piece.back() != '\n') {
        // Full without a line feed: the line goes on unless the stream ends here.
        const int following = getc_unlocked(file_);
        if (following != EOF) {
            ungetc(following, file_);
            endedLine_ = false;
        }
    }
    if (piece.empty()) return false;
    const std::size_t nul = piece.find('\0');
    if (nul != std::string::npos) piece.resize(nul);
    return true;
}

std::string_view withoutLineFeed(std::string_view piece) {
    if (!piece.empty() && piece.back() == '\n') piece.remove_suffix(1);
    return piece;
}

int32_t ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(value >= limit ? limit - 1 : value);
}

} // namespace qxm::anchors
