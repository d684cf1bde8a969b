// The texts of the editor's menus and dialogs: each is a string of the editor's string table, so
// that a language module replaces it.
#pragma once

#include "common/resource_locale.h"
#include "uiwidgets/control_name.h"

#include <QString>

namespace cvr {

/// Menus and dialogs whose texts are in the string table.
enum : int {
    IDM_MAIN = 2,       ///< the main menu
    IDD_ABOUTBOX = 100, ///< About
};
/// The About box's version line, which has no control id of its own.
inline constexpr int kAboutVersionText = 9001;
/// The positions of the "Line type" and "Paint" popups in the view's context menus (menus 106, 108,
/// 110, 111 and 113, one for each kind of object).
enum : int { kLineTypePopup = 8, kPaintPopup = 9 };
/// The toolbar's title, and the reasons a print did not start that the print failure's message names.
enum : uint32_t { IDS_TOOLBAR = 31747, IDS_PRINT_NO_MEMORY = 31748, IDS_PRINTER_NOT_OPENED = 31749 };

/// A menu item's text (menu id x 10000 + command id; a popup's: menu id x 10000 + its position) or
/// a dialog control's (dialog id x 10000 + control id; control 0: the dialog's caption).
inline QString ControlText(int owner, int item)
{
    return QtText(LoadResourceString(ControlTextId(static_cast<uint32_t>(owner), static_cast<uint32_t>(item))));
}

/// The position that names a popup inside a popup of the main menu: (the outer popup's position +
/// 1) x 100 + its own position; a popup of the menu bar is named by its position alone.
constexpr int NestedPopupPosition(int outer, int inner) { return (outer + 1) * 100 + inner; }

} // namespace cvr
