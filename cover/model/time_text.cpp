#include "cover/model/time_text.h"

#include "platform/system_info.h"

#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace cover {

std::string localTimeText(const char* format)
{
    const platform::LocalTime now = platform::localTime();
    std::tm tm{};
    tm.tm_year = now.year - 1900;
    tm.tm_mon = now.month - 1;
    tm.tm_mday = now.day;
    tm.tm_wday = now.dayOfWeek;
    tm.tm_hour = now.hour;
    tm.tm_min = now.minute;
    tm.tm_sec = now.second;
    std::ostringstream out;
    try {
        out.imbue(std::locale(""));
    } catch (const std::runtime_error&) {
        // The environment names no usable locale: the classic one stays.
    }
    out << std::put_time(&tm, format);
    return out.str();
}

} // namespace cover
