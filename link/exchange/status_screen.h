// The screens the program itself puts on the display when there is no
// conversation with a converter.
#pragma once

enum class TStatusScreen {
  StartUp,          // the program has just started
  NoCommunication,  // a port is open but no converter messages arrive
  NoPort,           // no port is open
  Searching,        // the converter search is trying a port
};
