#include "imaging/gui_session.h"

#include <QtGui/QGuiApplication>

#include <cstdlib>
#include <mutex>

namespace qelta::imaging {

bool ensureGuiApplication()
{
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    if (QCoreApplication* existing = QCoreApplication::instance())
        return qobject_cast<QGuiApplication*>(existing) != nullptr;

    // Arguments must outlive the application, which is never destroyed: the library stays loaded
    // for the life of the process, and so does what it made.
    static char name[] = "qeltaimaging";
    static char platformSwitch[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* argv[] = {name, platformSwitch, offscreen, nullptr};
    static int argc = 1;
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!display && !std::getenv("QT_QPA_PLATFORM"))
        argc = 3;
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return application != nullptr;
}

} // namespace qelta::imaging
