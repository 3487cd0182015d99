// Opening a device that takes long (a network port: resolving, connecting
// and negotiating take up to kNetworkOpenLimit) away from the window's
// thread.
//
// The open runs on a helper thread while the main thread waits in a local
// event loop that repaints the window but takes no user input and no socket
// notifications, so nothing starts another open meanwhile (the port menu
// skips a timer tick that falls into an open). The helper touches only the
// device it opens, which the worker does not use while it is not open; the
// main thread takes it over when the helper has ended. Called off the main
// thread, or without an application, it opens right there.
#pragma once

#include <functional>

#include "open_failure.h"

TOpenFailure OpenAway(const std::function<TOpenFailure()> &open);
