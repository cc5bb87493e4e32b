#pragma once
// A pull reader of JSON text: one token at a time from a stream, in bounded memory (limits on
// nesting, string and number length), with the line of every token for messages.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace qxm::anchortool {

class JsonReader {
public:
    enum class Token {
        BeginObject,
        EndObject,
        BeginArray,
        EndArray,
        Key,
        String,
        Number,
        True,
        False,
        Null,
        End
    };

    static constexpr std::size_t kMaxDepth = 64;
    static constexpr std::size_t kMaxString = 1 << 16;
    static constexpr std::size_t kMaxNumber = 64;

    // Reads from an open stream that stays the caller's.
    explicit JsonReader(std::FILE* in) : in_(in) {}

    // The next token; false when the text is not JSON (error() says why and where). After the
    // top-level value, End; anything but white space after it is an error.
    bool next(Token& token);
    // Key and String: the decoded text (UTF-8); Number: the number as written.
    const std::string& text() const { return text_; }
    // The line on which the last token began (1-based).
    std::size_t line() const { return tokenLine_; }
    const std::string& error() const { return error_; }

    // Skips the value that follows (after a Key, or where a value may come); false on error.
    bool skipValue();

private:
    enum class State { Value, ValueOrEnd, KeyOrEnd, CommaOrEnd, Done };
    struct Frame {
        bool object;
        State state;
    };

    int peek();
    int get();
    int skipBlanks();
    bool fail(const char* what);
    bool readString();
    bool readNumber(int first);
    bool readLiteral(const char* rest);
    bool value(int c, Token& token);
    void valueDone();

    std::FILE* in_;
    char buffer_[1 << 16];
    std::size_t pos_ = 0, end_ = 0;
    std::size_t line_ = 1, tokenLine_ = 1;
    std::vector<Frame> stack_;
    State top_ = State::Value;
    std::string text_;
    std::string error_;
};

} // namespace qxm::anchortool
