// What the cover sheet editor tells the send wizard after a save: the message it posts to the
// wizard's host endpoint, and that endpoint's class and title. Both programs include this.
#pragma once

#include <cstdint>

/// The class and title of the send wizard's host endpoint, which takes the notices of other programs.
inline constexpr const char* kHostClassName = "QELTA-UI2APP_CLASS";
inline constexpr const char* kHostTitle = "QELTA-UI2APP_MAIN";

/// Posted after the editor saved a cover sheet: wParam 2 after Save, 1 after Save As (also a
/// cancelled one), lParam always kCoverSheetSavedMark.
inline constexpr uint32_t MID_CoverSheetSaved = 1124;
inline constexpr int32_t kCoverSheetSavedMark = 1815;
inline constexpr uint32_t kCoverSavedBySave = 2;
inline constexpr uint32_t kCoverSavedBySaveAs = 1;
