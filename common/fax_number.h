// The characters a fax number is made of: one rule for the destination checks and for every box
// that takes a fax number.
#pragma once

#include <string_view>

/// True when every byte is one of "*#-0123456789", the first may also be 'R' or 'r'; an empty text
/// passes (whether a number is required is the caller's check).
bool IsFaxNumberText(std::string_view text);
