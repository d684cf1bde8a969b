#include "uiwidgets/desktop_entry.h"

#include <QGuiApplication>

void NameDesktopEntry(const char* program)
{
    const QString name = QString::fromUtf8(program);
    QCoreApplication::setApplicationName(name);
    QGuiApplication::setDesktopFileName(QStringLiteral("qelta-") + name);
}
