#pragma once
// The character and length rules of anchor IDs and names, and the checks of the New Anchor
// dialog in the order it makes them.
#include <string_view>

namespace qxm::anchors {

class AnchorTable;

enum class TextCheck { Ok, Empty, TooLong, InvalidChar };

// ID: 1 to 10 bytes of ASCII letters, digits, the symbols ! # $ % & ( ) - ^ _ { } ~, any
// multibyte character of the active code page and (CP932) single-byte katakana.
TextCheck CheckAnchorID(std::string_view id);

// Name: 1 to 40 bytes; every character but ':', space and ',' (and control characters,
// which would break the line structure of the anchor object file).
TextCheck CheckAnchorName(std::string_view name);

// What the New Anchor dialog reports for the texts it was given, and which edit gets the
// focus afterwards. message is null when the anchor may be created.
struct NewAnchorProblem {
    const char* message = nullptr;
    bool nameField = false; // true: the name edit, false: the ID edit
    explicit operator bool() const { return message != nullptr; }
};

NewAnchorProblem CheckNewAnchor(const AnchorTable& table, std::string_view name,
                                std::string_view id);

} // namespace qxm::anchors
