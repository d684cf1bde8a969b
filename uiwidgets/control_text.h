// The texts of a program's menus and dialogs, from its string table (and so from the language
// module in force): the one numbering every program's menus and dialogs share.
#pragma once

#include "common/resource_locale.h"
#include "uiwidgets/control_name.h"

#include <QString>

/// A menu item's text (menu id x 10000 + command id; a popup's: menu id x 10000 + its position) or
/// a dialog control's (dialog id x 10000 + control id; control 0: the dialog's caption).
inline QString ControlText(int owner, int item)
{
    return QtText(LoadResourceString(ControlTextId(static_cast<uint32_t>(owner), static_cast<uint32_t>(item))));
}

/// The position that names a popup inside a popup of the main menu: (the outer popup's position +
/// 1) x 100 + its own position; a popup of the menu bar is named by its position alone.
constexpr int NestedPopupPosition(int outer, int inner) { return (outer + 1) * 100 + inner; }
