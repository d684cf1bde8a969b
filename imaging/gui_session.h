// The application object that Qt's fonts and painters need. Internal to the drawing library.
#pragma once

namespace qelta::imaging {

// True when the process has a QGuiApplication, making one on first use when it has no application
// object at all (on the offscreen platform when there is no display). The one made here lives as
// long as the process. False when the host runs a plain QCoreApplication, which cannot draw text.
bool ensureGuiApplication();

} // namespace qelta::imaging
