#pragma once
// Buffered output of the exporters: text and numbers appended to a buffer that goes to the
// stream in large blocks, so that formatting, not the stream, sets the pace.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace qxm::anchortool {

class Output {
public:
    // Writes to an open stream that stays the caller's.
    explicit Output(std::FILE* stream);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    Output& put(std::string_view text) {
        if (text.size() > std::size_t(end_ - pos_)) {
            drain();
            if (text.size() > kBlock) return writeThrough(text);
        }
        std::memcpy(pos_, text.data(), text.size());
        pos_ += text.size();
        return *this;
    }
    Output& put(char c) {
        if (pos_ == end_) drain();
        *pos_++ = c;
        return *this;
    }
    Output& putInt(std::int64_t value) {
        if (end_ - pos_ < kIntRoom) drain();
        pos_ = std::to_chars(pos_, end_, value).ptr;
        return *this;
    }

    // Writes what is buffered and flushes the stream; false when any write failed.
    bool finish();
    bool failed() const { return failed_; }
    std::uint64_t bytesWritten() const { return written_ + std::uint64_t(pos_ - buffer_.get()); }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    static constexpr std::ptrdiff_t kIntRoom = 24;
    void drain();
    Output& writeThrough(std::string_view text);

    std::FILE* stream_;
    std::unique_ptr<char[]> buffer_;
    char* pos_;
    char* end_;
    std::uint64_t written_ = 0;
    bool failed_ = false;
};

// A file written whole or not at all: the text goes to a temporary file beside the target,
// which replaces the target on commit and is removed otherwise.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False (with errno set) when the temporary file cannot be created.
    bool open(const std::string& target);
    std::FILE* stream() const { return stream_; }
    // Closes the temporary file and renames it over the target; false when that fails.
    bool commit();

private:
    void discard();
    std::string target_;
    std::string temp_;
    std::FILE* stream_ = nullptr;
};

} // namespace qxm::anchortool
