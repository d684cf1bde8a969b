// The texts of the viewer's menus, toolbar and dialogs: each is a string of the viewer's string
// table, so that a language module replaces it.
#pragma once

#include "common/resource_locale.h"
#include "uiwidgets/control_name.h"

#include <QString>

namespace viewer {

/// Menus, the toolbar and the About box, whose texts are in the string table.
enum : int {
    IDD_ABOUTBOX = 100,      ///< About
    IDR_MAINFRAME = 128,     ///< the main menu and toolbar 128 (its Hand button, which no menu holds)
    IDR_THUMB_MENU = 131,    ///< the thumbnail view's context menu
    IDR_PAGE_MENU = 132,     ///< the page view's context menu
    IDR_PROPERTY_MENU = 150, ///< the delayed Property menu of the drawing tools
    IDR_STAMP_MENU = 161,    ///< the delayed menu of the stamp tool
};
/// The About box's version line, which has no control id of its own.
inline constexpr int kAboutVersionText = 9001;

/// A menu item's text (menu id x 10000 + command id; a popup's: menu id x 10000 + its position) or
/// a dialog control's (dialog id x 10000 + control id; control 0: the dialog's caption).
inline QString ControlText(int owner, int item)
{
    return QtText(LoadResourceString(ControlTextId(static_cast<uint32_t>(owner), static_cast<uint32_t>(item))));
}

/// The position that names a popup inside a popup of the main menu: (the outer popup's position +
/// 1) x 100 + its own position; a popup of the menu bar is named by its position alone.
constexpr int NestedPopupPosition(int outer, int inner) { return (outer + 1) * 100 + inner; }

} // namespace viewer
