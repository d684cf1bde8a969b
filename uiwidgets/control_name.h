// Object names of controls: the suite's control ids ("id1034"), which tests and tables find them by;
// and the suite's UTF-8 texts as Qt's strings and back.
#pragma once

#include <QString>

#include <string>
#include <string_view>

/// The object name of the control with that id.
inline QString ControlName(int nId) { return QStringLiteral("id%1").arg(nId); }

/// widget, named by its control id.
template <typename W>
W* Named(W* widget, int nId)
{
    widget->setObjectName(ControlName(nId));
    return widget;
}

/// A UTF-8 text as a QString.
inline QString QtText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

/// A QString as UTF-8.
inline std::string Utf8Text(const QString& text) { return text.toUtf8().toStdString(); }
