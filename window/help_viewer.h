// The user's manual in a window of the program's own, so help needs no
// browser and opens at once. The manual and its pictures are built into the
// program; links inside it move within the window, links to the web go to
// the desktop's browser.
#pragma once

#include <QTextBrowser>

class THelpViewer : public QTextBrowser {
  Q_OBJECT

 public:
  static constexpr const char *kManualUrl = "qrc:/help/sorvanel.html";

  // A top-level window of its own; 'owner' only ties its lifetime to the
  // main window.
  explicit THelpViewer(QWidget *owner = nullptr);

  // Shows the window at the manual's beginning, or raises it when it is
  // already open.
  void ShowManual();
};

// Opens the manual in the viewer that 'owner' keeps, creating it on first use.
THelpViewer *OpenHelp(QWidget *owner);
