// Where a program with automation on is found on the session bus: the names
// the program itself registers under (automation/bus/bus_names.h).
#pragma once

#include <QString>

#include "bus_names.h"

namespace ctl {

inline const QString kServicePrefix = QString::fromLatin1(kPanelBusNamePrefix);
inline const QString kPanelPath = QString::fromLatin1(kPanelObjectPath);
inline const QString kPanelInterface = QString::fromLatin1(::kPanelInterface);

}  // namespace ctl
