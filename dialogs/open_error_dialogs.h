// What the user is told when a port does not open: the port reports a
// TOpenFailure, the window shows it with these.
#pragma once

#include <QString>

#include "open_failure.h"

// Index in the text table of the message for a tty that failed to open with
// 'error' (an errno value), or -1 when no text of the table fits.
int SerialOpenErrorTextIndex(int error);

// What failed, in words: the table's text for a tty's errno (the system's
// own description when the table has none), the text of a network reason
// (in the window's language throughout for a TLS failure), nothing for the
// USB adapter. The third text of the dialog, and the answer
// of the network ports dialog's try.
QString OpenFailureText(const TOpenFailure &failure);

// The error dialog of a failed open, modal, on the main thread: "USB port
// error!" without a message for the adapter; "Serial port error!" with
// OpenFailureText for a tty and for a network port (a serial port to the
// user), the network port's with the address it tried, a TLS failure's
// within a line that says the network port's secure connection failed.
// Nothing for an open that gave up because the program ends.
void ShowOpenFailureDialog(const TOpenFailure &failure);
