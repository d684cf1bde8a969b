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

/// A command's prompt, the program's string of its id: "status text\ntip".
struct CommandPrompt {
    QString status;   ///< the status bar's text
    QString tip;      ///< the tool tip; empty when the string has no line for it
    bool hasTip = false;
};
inline CommandPrompt CommandPromptOf(int command)
{
    const std::string prompt = LoadResourceString(static_cast<uint32_t>(command));
    const size_t newline = prompt.find('\n');
    if (newline == std::string::npos)
        return {QtText(prompt), {}, false};
    return {QtText(std::string_view(prompt).substr(0, newline)), QtText(std::string_view(prompt).substr(newline + 1)), true};
}
