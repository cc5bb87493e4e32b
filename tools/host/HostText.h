#pragma once
// The text forms of qxmhost's command lines and output lines.
#include <string>
#include <string_view>
#include <vector>

#include "platform/component/Variant.h"

namespace qxm::host {

// Splits a command line into words at blanks; a word in double quotes may hold blanks and the
// escapes \" \\ \n \r \t. Every word is a string value (the control converts it to the
// member's type). False with *error for an unclosed quote.
bool splitWords(std::string_view line, std::vector<std::string>& words, std::string* error);

// A whole decimal number from min to max, nothing else on the word (no blanks, no fraction).
bool parseBounded(std::string_view word, long long min, long long max, long long& out);

// Input echoed in an error line: at most maxBytes of it, with "..." and the full length when
// cut, so a runaway line does not flood the output.
std::string echoed(std::string_view input, std::size_t maxBytes = 80);

// A value as output shows it: strings in double quotes with escapes, booleans True/False,
// numbers in decimal.
std::string showValue(const Variant& v);

} // namespace qxm::host
