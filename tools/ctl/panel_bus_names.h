// Where a program with automation on is found on the session bus.
#pragma once

#include <QString>

namespace ctl {

inline const QString kServicePrefix = QStringLiteral("org.sorvanel.Sorvanel.");
inline const QString kPanelPath = QStringLiteral("/org/sorvanel/Panel");
inline const QString kPanelInterface = QStringLiteral("org.sorvanel.Panel1");

}  // namespace ctl
