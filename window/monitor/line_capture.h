// The capture file of the running program: started by --capture FILE or from
// the line monitor, written by a TCaptureWriter attached to the drive link.
// A failure to open or write the file is reported on stderr and in a dialog
// shown once the link's current work is done; the link goes on.
#pragma once

#include <QObject>
#include <QString>

#include "capture_writer.h"

class TDriveLink;

class TLineCapture : public QObject {
  Q_OBJECT

 public:
  explicit TLineCapture(TDriveLink &link, QObject *parent = nullptr);
  ~TLineCapture() override;

  // Starts writing 'path' (a capture already running ends first). false
  // when the file cannot be opened; that is reported.
  bool Start(const QString &path);
  void Stop();
  bool Active() const { return writer_.IsOpen(); }
  QString Path() const { return writer_.Path(); }

 signals:
  void ActiveChanged(bool active);

 private:
  void ReportFailure(int headlineText, const QString &reason);

  TDriveLink &link_;
  TCaptureWriter writer_;
  bool attached_ = false;
};
