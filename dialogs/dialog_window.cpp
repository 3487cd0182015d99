#include "dialog_window.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMainWindow>
#include <QWidget>

namespace {

xcb_atom_t InternAtom(xcb_connection_t *connection, const char *name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
  xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (reply == nullptr) {
    return XCB_ATOM_NONE;
  }
  const xcb_atom_t atom = reply->atom;
  free(reply);  // NOLINT: xcb hands out malloc'd replies
  return atom;
}

// Qt gives an empty title the program's name; X11 is told the empty title
// directly (both the EWMH name and the ICCCM one).
void SetEmptyX11Title(const QWidget &window) {
  auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) {
    return;
  }
  xcb_connection_t *connection = x11->connection();
  const auto id = static_cast<xcb_window_t>(window.winId());
  const xcb_atom_t utf8 = InternAtom(connection, "UTF8_STRING");
  const xcb_atom_t netName = InternAtom(connection, "_NET_WM_NAME");
  if (netName != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netName, utf8, 8, 0, nullptr);
  }
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      0, nullptr);
  xcb_flush(connection);
}

}  // namespace

QWidget *DialogOwner() {
  for (QWidget *window : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMainWindow *>(window) != nullptr && window->isVisible()) {
      return window;
    }
  }
  return QApplication::activeWindow();
}

void ShowExactTitle(QWidget &window) {
  if (window.windowTitle().isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb")) {
    SetEmptyX11Title(window);
  }
}

void CloseLeftoverPopups() {
  // Each close makes the next popup down the stack the active one.
  for (int left = 16; left > 0 && QApplication::activePopupWidget() != nullptr; --left) {
    QApplication::activePopupWidget()->close();
  }
}

int RunDialog(QDialog &dialog) {
  const int result = dialog.exec();
  CloseLeftoverPopups();
  return result;
}
