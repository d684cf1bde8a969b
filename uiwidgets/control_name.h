// Object names of controls: the suite's control ids ("id1034"), which tests and tables find them by.
#pragma once

#include <QString>

/// The object name of the control with that id.
inline QString ControlName(int nId) { return QStringLiteral("id%1").arg(nId); }
