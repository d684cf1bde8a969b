// How a program names itself to the desktop, so that docks and task switchers tie its windows to
// its desktop entry ("qelta-<program>.desktop", see desktop/CMakeLists.txt) and show its icon.
#pragma once

/// Names the running application `program`: its windows' class (X11 WM_CLASS) is `program`, which
/// the entry's StartupWMClass names, and its desktop file name (the Wayland application id) is
/// "qelta-<program>". Call it once the QApplication exists, before the first window shows.
void NameDesktopEntry(const char* program);
