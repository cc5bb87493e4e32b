#pragma once
// Text helpers of the anchor tool: filling message patterns, moving anchor texts between the
// active code page and UTF-8 (the exchange formats' encoding), escaping for JSON and XML.
#include <initializer_list>
#include <string>
#include <string_view>

namespace qxm::anchortool {

// The pattern with each "{}" replaced by the next argument, in order.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args);

// Quoted for a message: "text" with control characters and bytes that are no character of the
// code page shown as \xNN, cut after maxBytes with "...".
std::string quotedText(std::string_view text, std::size_t maxBytes = 80);

// Anchor text (bytes of the active code page) as UTF-8. Bytes that are no character of the
// code page become U+FFFD and set *replaced.
std::string toUtf8(std::string_view text, bool* replaced = nullptr);

// UTF-8 text as bytes of the active code page. Characters the code page lacks become '?' and
// set *lossy; so do invalid UTF-8 sequences.
std::string fromUtf8(std::string_view utf8, bool* lossy = nullptr);

// Appends UTF-8 text as the inside of a JSON string (quotes, backslashes and control
// characters escaped).
void appendJsonEscaped(std::string& out, std::string_view utf8);

// Appends UTF-8 text escaped for XML character data and attribute values. Characters XML 1.0
// does not allow (control characters other than tab, line feed and carriage return) become
// U+FFFD.
void appendXmlEscaped(std::string& out, std::string_view utf8);

} // namespace qxm::anchortool
