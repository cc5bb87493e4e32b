#include "tools/anchor/JsonReader.h"

#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

namespace qxm::anchortool {

int JsonReader::peek() {
    if (pos_ == end_) {
        end_ = std::fread(buffer_, 1, sizeof buffer_, in_);
        pos_ = 0;
        if (end_ == 0) return EOF;
    }
    return static_cast<unsigned char>(buffer_[pos_]);
}

int JsonReader::get() {
    const int c = peek();
    if (c != EOF) {
        ++pos_;
        if (c == '\n') ++line_;
    }
    return c;
}

int JsonReader::skipBlanks() {
    for (;;) {
        const int c = peek();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return c;
        get();
    }
}

bool JsonReader::fail(const char* what) {
    if (error_.empty()) error_ = fill(text::kJsonAt, {std::to_string(line_), what});
    return false;
}

bool JsonReader::next(Token& token) {
    if (!error_.empty()) return false;
    int c = skipBlanks();
    tokenLine_ = line_;
    State& state = stack_.empty() ? top_ : stack_.back().state;
    switch (state) {
    case State::Done:
        if (c != EOF) return fail(text::kJsonAfterEnd);
        token = Token::End;
        return true;
    case State::KeyOrEnd:
        if (c == EOF) return fail(text::kJsonTruncated);
        if (c == '}') {
            get();
            stack_.pop_back();
            token = Token::EndObject;
            valueDone();
            return true;
        }
        break;
    case State::ValueOrEnd:
        if (c == ']') {
            get();
            stack_.pop_back();
            token = Token::EndArray;
            valueDone();
            return true;
        }
        state = State::Value;
        return value(c, token);
    case State::CommaOrEnd: {
        if (c == EOF) return fail(text::kJsonTruncated);
        const bool object = stack_.back().object;
        if (c == (object ? '}' : ']')) {
            get();
            stack_.pop_back();
            token = object ? Token::EndObject : Token::EndArray;
            valueDone();
            return true;
        }
        if (c != ',') return fail(object ? text::kJsonCommaOrBrace : text::kJsonCommaOrBracket);
        get();
        c = skipBlanks();
        tokenLine_ = line_;
        if (!object) {
            state = State::Value;
            return value(c, token);
        }
        break;
    }
    case State::Value:
        return value(c, token);
    }
    // A key, then its colon.
    if (c == EOF) return fail(text::kJsonTruncated);
    if (c != '"') return fail(text::kJsonKey);
    get();
    if (!readString()) return false;
    if (skipBlanks() != ':') return fail(text::kJsonColon);
    get();
    stack_.back().state = State::Value;
    token = Token::Key;
    return true;
}

bool JsonReader::value(int c, Token& token) {
    if (c == EOF) return fail(text::kJsonTruncated);
    get();
    switch (c) {
    case '{':
    case '[':
        if (stack_.size() == kMaxDepth) return fail(text::kJsonDeep);
        stack_.push_back({c == '{', c == '{' ? State::KeyOrEnd : State::ValueOrEnd});
        token = c == '{' ? Token::BeginObject : Token::BeginArray;
        return true;
    case '"':
        if (!readString()) return false;
        token = Token::String;
        break;
    case 't':
        if (!readLiteral("rue")) return false;
        token = Token::True;
        break;
    case 'f':
        if (!readLiteral("alse")) return false;
        token = Token::False;
        break;
    case 'n':
        if (!readLiteral("ull")) return false;
        token = Token::Null;
        break;
    default:
        if (c != '-' && (c < '0' || c > '9')) return fail(text::kJsonValue);
        if (!readNumber(c)) return false;
        token = Token::Number;
        break;
    }
    valueDone();
    return true;
}

void JsonReader::valueDone() {
    if (stack_.empty())
        top_ = State::Done;
    else
        stack_.back().state = State::CommaOrEnd;
}

bool JsonReader::readLiteral(const char* rest) {
    for (; *rest; ++rest)
        if (get() != *rest) return fail(text::kJsonValue);
    const int c = peek();
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return fail(text::kJsonValue);
    return true;
}

bool JsonReader::readNumber(int first) {
    const auto isDigit = [](int c) { return c >= '0' && c <= '9'; };
    text_.assign(1, static_cast<char>(first));
    const auto digits = [&] {
        std::size_t n = 0;
        for (; isDigit(peek()) && text_.size() <= kMaxNumber; ++n)
            text_.push_back(static_cast<char>(get()));
        return n;
    };
    int lead = first;
    if (first == '-') {
        if (!isDigit(peek())) return fail(text::kJsonNumber);
        lead = get();
        text_.push_back(static_cast<char>(lead));
    }
    if (lead == '0') {
        if (isDigit(peek())) return fail(text::kJsonNumber);
    } else {
        digits();
    }
    if (peek() == '.') {
        text_.push_back(static_cast<char>(get()));
        if (digits() == 0) return fail(text::kJsonNumber);
    }
    if (peek() == 'e' || peek() == 'E') {
        text_.push_back(static_cast<char>(get()));
        if (peek() == '+' || peek() == '-') text_.push_back(static_cast<char>(get()));
        if (digits() == 0) return fail(text::kJsonNumber);
    }
    const int c = peek();
    if (text_.size() > kMaxNumber || isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '-' ||
        c == '+')
        return fail(text::kJsonNumber);
    return true;
}

bool JsonReader::readString() {
    text_.clear();
    auto put = [&](unsigned long cp) {
        if (cp < 0x80) {
            text_.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            text_.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            text_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            text_.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            text_.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            text_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            text_.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            text_.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            text_.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            text_.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    };
    auto hex4 = [&](unsigned long& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = get();
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            out = out * 16 + static_cast<unsigned long>(d);
        }
        return true;
    };
    for (;;) {
        if (text_.size() >= kMaxString) return fail(text::kJsonLongString);
        const int c = get();
        if (c == EOF) return fail(text::kJsonTruncated);
        if (c == '"') return true;
        if (c < 0x20) return fail(text::kJsonControl);
        if (c != '\\') {
            text_.push_back(static_cast<char>(c));
            continue;
        }
        const int e = get();
        switch (e) {
        case '"':
            text_.push_back('"');
            break;
        case '\\':
            text_.push_back('\\');
            break;
        case '/':
            text_.push_back('/');
            break;
        case 'b':
            text_.push_back('\b');
            break;
        case 'f':
            text_.push_back('\f');
            break;
        case 'n':
            text_.push_back('\n');
            break;
        case 'r':
            text_.push_back('\r');
            break;
        case 't':
            text_.push_back('\t');
            break;
        case 'u': {
            unsigned long cp = 0;
            if (!hex4(cp)) return fail(text::kJsonEscape);
            if (cp >= 0xDC00 && cp <= 0xDFFF) return fail(text::kJsonEscape);
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                unsigned long low = 0;
                if (get() != '\\' || get() != 'u' || !hex4(low) || low < 0xDC00 || low > 0xDFFF)
                    return fail(text::kJsonEscape);
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            put(cp);
            break;
        }
        default:
            return fail(text::kJsonEscape);
        }
    }
}

bool JsonReader::skipValue() {
    std::size_t depth = 0;
    Token t;
    do {
        if (!next(t)) return false;
        if (t == Token::BeginObject || t == Token::BeginArray) ++depth;
        if (t == Token::EndObject || t == Token::EndArray) {
            if (depth == 0) return fail(text::kJsonValue);
            --depth;
        }
        if (t == Token::End) return fail(text::kJsonTruncated);
    } while (depth > 0);
    return true;
}

} // namespace qxm::anchortool
