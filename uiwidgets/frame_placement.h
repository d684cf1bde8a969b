// The first placement of a program's frame: the size and position it asks for, kept whole, with the
// window manager's decorations, on the available area of its screen.
#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

/// The client rectangle for a frame asked to stand at `client` with decorations `frame` around it:
/// moved (and shrunk only where the area is smaller than the frame) so that the client and its
/// decorations lie inside `area`.
QRect FitFrameToArea(const QRect& client, const QMargins& frame, const QRect& area);

/// Gives a top-level window, before it first shows, the client rectangle `client` fitted to the
/// available area of the screen it falls on (else the primary screen). The decorations are taken
/// as a usual window manager's until the window shows; once the real ones are known the frame is
/// moved in again where they take it out of the area.
void PlaceFrameOnScreen(QWidget* window, const QRect& client);

/// Widens a window (its minimum width) so that a window manager's title bar shows the whole title
/// beside its icon and buttons.
void KeepTitleWhole(QWidget* window);
