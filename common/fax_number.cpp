#include "common/fax_number.h"

bool IsFaxNumberText(std::string_view text)
{
    if (!text.empty() && (text.front() == 'R' || text.front() == 'r'))
        text.remove_prefix(1);
    // The allowed bytes are all printable ASCII, so a byte of a multibyte character never passes.
    return text.find_first_not_of("*#-0123456789") == std::string_view::npos;
}
