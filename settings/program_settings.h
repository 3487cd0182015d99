// The nine user choices kept between runs in the settings file.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "network_ports.h"
#include "text_table.h"

struct TProgramSettings {
  QString Port;  // port to open, as the port menu lists it; empty = none
  bool FindFreq = false;
  bool AlwaysOnTop = false;
  bool PTConnect = true;
  bool PTDisconnect = true;
  TLanguage Language = kLanguageHungarian;
  uint8_t Size = 0;   // 0 big terminal picture, 1 small
  int16_t Left = 50;  // window position; read from the file as 0..32767
  int16_t Top = 50;
  TNetworkPorts NetworkPorts;  // section NetworkPorts, beside the nine keys
  // Entries of that section not taken when the file was read: their URL is
  // too long (see ReadNetworkPorts). Told to the user; never saved.
  QStringList RefusedNetworkPorts;
};
