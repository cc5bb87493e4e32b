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

// A value as output shows it: strings in double quotes with escapes, booleans True/False,
// numbers in decimal.
std::string showValue(const Variant& v);

} // namespace qxm::host
