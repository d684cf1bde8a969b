// The texts of the editor's menus and dialogs: each is a string of the editor's string table, so
// that a language module replaces it.
#pragma once

#include "uiwidgets/control_text.h"

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

} // namespace cvr
