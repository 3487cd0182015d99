// What the user is told when a port does not open.
#pragma once

#include <QString>

// Index in the text table of the message for a failed serial open with
// 'error' (an errno value), or -1 when no text of the table fits.
int SerialOpenErrorTextIndex(int error);

// The message for a failed serial open: the table's text, or the system's own
// description of 'error' when the table has none.
QString SerialOpenErrorText(int error);

// The error dialogs of a failed open. Main thread (they are modal).
void ShowSerialOpenError(int error);
void ShowUsbOpenError();
