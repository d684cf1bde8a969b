// The texts of the viewer's menus, toolbar and dialogs: each is a string of the viewer's string
// table, so that a language module replaces it.
#pragma once

#include "uiwidgets/control_text.h"

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

} // namespace viewer
