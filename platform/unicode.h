// UTF-8 and UTF-16 conversion for the suite's narrow strings and the component layer's wide ones.
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// UTF-8 to UTF-16. Each malformed sequence becomes one '?'.
std::u16string utf8ToUtf16(std::string_view text);

/// UTF-16 to UTF-8. An unpaired surrogate becomes '?'.
std::string utf16ToUtf8(std::u16string_view text);

/// Text in the process code page to UTF-16 ('?' for what cannot be mapped).
std::u16string ansiToWide(std::string_view text);

/// UTF-16 to text in the process code page ('?' for what cannot be mapped).
std::string wideToAnsi(std::u16string_view text);

} // namespace platform
