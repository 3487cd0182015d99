#include "window_resources.h"

#include <QtGlobal>

static void InitSorvanelResources() {
  Q_INIT_RESOURCE(sorvanel);
}

void InitWindowResources() {
  static const bool initialised = [] {
    InitSorvanelResources();
    return true;
  }();
  (void)initialised;
}
