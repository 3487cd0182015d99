// What the user is told when a port does not open.
#pragma once

#include <QString>

#include "network_device.h"

// Index in the text table of the message for a failed serial open with
// 'error' (an errno value), or -1 when no text of the table fits.
int SerialOpenErrorTextIndex(int error);

// The message for a failed serial open: the table's text, or the system's own
// description of 'error' when the table has none.
QString SerialOpenErrorText(int error);

// What failed when a network port did not open.
QString NetworkOpenErrorText(const TNetworkOpenResult &result);

// The error dialogs of a failed open. Main thread (they are modal). A
// network port is a serial port to the user: its dialog is the serial one
// with the network's reason and the address tried ('address': host and
// port, or the URL as written when it is not a valid address).
void ShowSerialOpenError(int error);
void ShowNetworkOpenError(const TNetworkOpenResult &result, const QString &address);
void ShowUsbOpenError();
