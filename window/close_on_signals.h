// Closes a window when the process gets SIGTERM, SIGINT or SIGHUP (logout,
// Ctrl+C, kill), through the same closing steps as its close button, so the
// port is closed and the settings and memory are saved.
#pragma once

class QWidget;

// Installs the signal handlers; the window's close() runs on the main
// thread, from the event loop. Call once, before the event loop starts.
void CloseOnTerminationSignals(QWidget *window);
