// The current local time as text, for the time and date fields of a cover sheet.
#pragma once

#include <string>

namespace cover {

/// The current local time formatted with a strftime format ("%H:%M:%S", "%x"), in the user's locale.
std::string localTimeText(const char* format);

} // namespace cover
