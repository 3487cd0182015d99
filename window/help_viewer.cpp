#include "help_viewer.h"

#include <QUrl>

namespace {
constexpr QSize kViewerSize(640, 560);
}

THelpViewer::THelpViewer(QWidget *owner) : QTextBrowser(owner) {
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowFlag(Qt::Window);
  setOpenExternalLinks(true);
  setSource(QUrl(QString::fromLatin1(kManualUrl)));
  setWindowTitle(documentTitle());
  resize(kViewerSize);
}

void THelpViewer::ShowManual() {
  if (isHidden()) {
    home();
  }
  show();
  raise();
  activateWindow();
}

THelpViewer *OpenHelp(QWidget *owner) {
  auto *viewer = owner->findChild<THelpViewer *>(QStringLiteral("HelpViewer"));
  if (viewer == nullptr) {
    viewer = new THelpViewer(owner);
  }
  viewer->ShowManual();
  return viewer;
}
