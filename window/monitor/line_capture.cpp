#include "line_capture.h"

#include <QTimer>
#include <cstdio>

#include "drive_link.h"
#include "message_dialog.h"
#include "text_table.h"

TLineCapture::TLineCapture(TDriveLink &link, QObject *parent) : QObject(parent), link_(link) {}

TLineCapture::~TLineCapture() {
  Stop();
}

bool TLineCapture::Start(const QString &path) {
  Stop();
  // An open that fails is reported here, with its own headline; the
  // writer's failure handler is for writes once the file is open.
  writer_.OnFailure = nullptr;
  const TPortThread &port = link_.Port();
  if (!writer_.Open(path, port.Connected() ? port.PortName() : QString())) {
    ReportFailure(kTextCaptureOpenFailed, writer_.Failure());
    return false;
  }
  writer_.OnFailure = [this](const QString &reason) {
    ReportFailure(kTextCaptureWriteFailed, reason);
    // Detached later: the link may be in the middle of reporting to it.
    QTimer::singleShot(0, this, [this] {
      if (!writer_.IsOpen()) {
        Stop();
      }
    });
  };
  link_.AttachObserver(&writer_);
  attached_ = true;
  emit ActiveChanged(true);
  return true;
}

void TLineCapture::Stop() {
  if (!attached_) {
    return;
  }
  link_.DetachObserver(&writer_);
  attached_ = false;
  writer_.Close();
  emit ActiveChanged(false);
}

void TLineCapture::ReportFailure(int headlineText, const QString &reason) {
  const QString path = writer_.Path();
  std::fprintf(stderr, "sorvanel: capture file %s: %s\n", qPrintable(path), qPrintable(reason));
  // Not inside the reply handler: the dialog waits until the link has
  // finished the chunk at hand.
  QTimer::singleShot(0, this, [headlineText, path, reason] {
    Luvamsg_ShowDialog(kMessageDialogIconError, QString(), GetText(headlineText),
                       path + QStringLiteral("\n") + reason, kMessageDialogButtonOk);
  });
}
