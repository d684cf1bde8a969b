#include "cover/model/time_text.h"

#include "platform/system_info.h"

namespace cover {

std::string localTimeText(const char* format) { return platform::formatLocalTimeText(platform::localTime(), format); }

} // namespace cover
