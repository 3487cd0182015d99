#include "open_error_dialogs.h"

#include <cerrno>

#include "message_dialog.h"
#include "text_table.h"

namespace {

constexpr int kTextError = 28;
constexpr int kTextUsbPortError = 29;
constexpr int kTextSerialPortError = 30;

constexpr int kTextPortNotFound = 31;
constexpr int kTextAccessDenied = 32;
constexpr int kTextNotReady = 33;
constexpr int kTextNotSupported = 34;
constexpr int kTextNoSuchDevice = 35;
constexpr int kTextOpenFailed = 36;
constexpr int kTextBusy = 37;
constexpr int kTextIoError = 38;

struct TErrorText {
  int error;
  int textIndex;
};

constexpr TErrorText kErrorTexts[] = {
    {ENOENT, kTextPortNotFound},   // no such path
    {ENOTDIR, kTextPortNotFound},  // a path component is not a folder
    {ENAMETOOLONG, kTextPortNotFound},
    {ELOOP, kTextPortNotFound},  // port map link pointing in a circle
    {EACCES, kTextAccessDenied},
    {EPERM, kTextAccessDenied},
    {EROFS, kTextAccessDenied},
    {ENOMEDIUM, kTextNotReady},
    {ENOTTY, kTextNotSupported},  // the path is not a terminal device
    {EINVAL, kTextNotSupported},
    {EISDIR, kTextNotSupported},
    {ENODEV, kTextNoSuchDevice},  // device node without a driver behind it
    {ENXIO, kTextNoSuchDevice},
    {EMFILE, kTextOpenFailed},  // out of descriptors
    {ENFILE, kTextOpenFailed},
    {EBUSY, kTextBusy},        // held exclusively by another program
    {EWOULDBLOCK, kTextBusy},  // lock held by another program (EAGAIN too)
    {EIO, kTextIoError},       // e.g. a ttyS node without a UART
};

}  // namespace

int SerialOpenErrorTextIndex(int error) {
  for (const TErrorText &entry : kErrorTexts) {
    if (entry.error == error) {
      return entry.textIndex;
    }
  }
  return -1;
}

QString OpenFailureText(const TOpenFailure &failure) {
  switch (failure.kind) {
    case TOpenFailure::TKind::None:
    case TOpenFailure::TKind::Stopped:  // the program ends: nothing to tell
      return QString();
    case TOpenFailure::TKind::UsbAdapter:
      // The other statuses only repeat the headline.
      return failure.usbStatus == TUsbStatus::NoPermission ? GetText(kTextUsbNoPermission)
                                                           : QString();
    case TOpenFailure::TKind::Tty: {
      const int index = SerialOpenErrorTextIndex(failure.systemError);
      return index >= 0 ? GetText(index) : qt_error_string(failure.systemError);
    }
    case TOpenFailure::TKind::InvalidAddress:
      return GetText(kTextNetworkInvalidAddress);
    case TOpenFailure::TKind::HostNotFound:
      return GetText(kTextNetworkHostNotFound);
    case TOpenFailure::TKind::ConnectionRefused:
      return GetText(kTextNetworkConnectionRefused);
    case TOpenFailure::TKind::NoAnswer:
      return GetText(kTextNetworkNoAnswer);
    case TOpenFailure::TKind::SettingsRefused:
      return GetText(kTextNetworkSettingsRefused);
    case TOpenFailure::TKind::ConnectionClosed:
      return GetText(kTextNetworkConnectionClosed);
    case TOpenFailure::TKind::NetworkSystemError:
      return qt_error_string(failure.systemError);
    case TOpenFailure::TKind::CertificateNotTrusted:
      return GetText(kTextTlsCertificateNotTrusted);
    case TOpenFailure::TKind::CertificateWrongName:
      return GetText(kTextTlsCertificateWrongName);
    case TOpenFailure::TKind::CertificateExpired:
      return GetText(kTextTlsCertificateExpired);
    case TOpenFailure::TKind::FingerprintMismatch:
      return GetText(kTextTlsFingerprintMismatch);
    case TOpenFailure::TKind::ClientCertificateRequired:
      return GetText(kTextTlsClientCertificateRequired);
    case TOpenFailure::TKind::HandshakeFailed:
      return GetText(kTextTlsHandshakeFailed);
    case TOpenFailure::TKind::KeyFileExposed:
      return GetText(kTextTlsKeyFileExposed);
    case TOpenFailure::TKind::TlsFileUnusable:
      return failure.systemError == 0 ? GetText(kTextTlsFileUnusable)
                                      : GetText(kTextTlsFileUnusable) + QStringLiteral(": ") +
                                            qt_error_string(failure.systemError);
  }
  return QString();
}

void ShowOpenFailureDialog(const TOpenFailure &failure) {
  if (!failure.Failed() || failure.kind == TOpenFailure::TKind::Stopped) {
    return;
  }
  const bool usb = failure.kind == TOpenFailure::TKind::UsbAdapter;
  const QString reason = OpenFailureText(failure);
  Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError),
                     GetText(usb ? kTextUsbPortError : kTextSerialPortError),
                     failure.address.isEmpty()
                         ? reason
                         : GetText(kTextNetworkErrorAddress).arg(reason, failure.address),
                     kMessageDialogButtonOk);
}
