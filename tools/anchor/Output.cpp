#include "tools/anchor/Output.h"

#include "platform/files/TextFiles.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qxm::anchortool {

Output::Output(std::FILE* stream)
    : stream_(stream), buffer_(std::make_unique<char[]>(kBlock)), pos_(buffer_.get()),
      end_(buffer_.get() + kBlock) {}

Output::~Output() {
    drain();
}

void Output::drain() {
    const auto size = static_cast<std::size_t>(pos_ - buffer_.get());
    if (size == 0) return;
    if (!failed_ && std::fwrite(buffer_.get(), 1, size, stream_) != size) failed_ = true;
    written_ += size;
    pos_ = buffer_.get();
}

Output& Output::writeThrough(std::string_view text) {
    if (!failed_ && std::fwrite(text.data(), 1, text.size(), stream_) != text.size())
        failed_ = true;
    written_ += text.size();
    return *this;
}

bool Output::finish() {
    drain();
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) failed_ = true;
    return !failed_;
}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const std::string& target) {
    discard();
    // A link is followed and the file it names replaced; a FIFO or device is refused.
    if (const int e = replacementTarget(target, &target_, nullptr); e != 0) {
        target_.clear();
        errno = e; // the caller names the reason
        return false;
    }
    temp_ = target_ + ".XXXXXX";
    const int fd = ::mkstemp(temp_.data());
    if (fd < 0) {
        temp_.clear();
        return false;
    }
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    ::fchmod(
        fd, 0644 & ~[] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return mask;
        }());
    return true;
}

bool OutputFile::commit() {
    if (!stream_) return false;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!closed) {
        const int e = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        errno = e;
        return false;
    }
    // Synced to disk before it replaces the target; errno says why when it fails.
    const int e = commitTemporaryFile(-1, temp_, target_, nullptr);
    temp_.clear();
    errno = e;
    return e == 0;
}

void OutputFile::discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

} // namespace qxm::anchortool
