#include "help_viewer.h"

#include <QFileInfo>
#include <QUrl>

namespace {
constexpr QSize kViewerSize(640, 560);

QUrl ManualUrl(const QString &manualFile) {
  if (!manualFile.isEmpty() && QFileInfo(manualFile).isFile()) {
    return QUrl::fromLocalFile(manualFile);
  }
  return QUrl(QString::fromLatin1(THelpViewer::kManualUrl));
}
}  // namespace

THelpViewer::THelpViewer(QWidget *owner, const QString &manualFile) : QTextBrowser(owner) {
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowFlag(Qt::Window);
  setOpenExternalLinks(true);
  setSource(ManualUrl(manualFile));
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

THelpViewer *OpenHelp(QWidget *owner, const QString &manualFile) {
  auto *viewer = owner->findChild<THelpViewer *>(QStringLiteral("HelpViewer"));
  if (viewer == nullptr) {
    viewer = new THelpViewer(owner, manualFile);
  }
  viewer->ShowManual();
  return viewer;
}
