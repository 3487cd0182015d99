#include "open_error_dialogs.h"

#include <cerrno>

#include "message_dialog.h"
#include "text_table.h"

namespace {

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
    {EBUSY, kTextDeviceBusy},        // held exclusively by another program
    {EWOULDBLOCK, kTextDeviceBusy},  // lock held by another program (EAGAIN too)
    {EIO, kTextIoDeviceError},       // e.g. a ttyS node without a UART
};

// Why a file named in a TLS address could not be read, in the window's
// language; nothing for an error the table has no words for.
QString TlsFileErrorText(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return GetText(kTextFileDoesNotExist);
    case EACCES:
    case EPERM:
      return GetText(kTextFileNoPermission);
    default:
      return QString();
  }
}

bool IsTlsFailure(TOpenFailure::TKind kind) {
  switch (kind) {
    case TOpenFailure::TKind::CertificateNotTrusted:
    case TOpenFailure::TKind::CertificateWrongName:
    case TOpenFailure::TKind::CertificateExpired:
    case TOpenFailure::TKind::FingerprintMismatch:
    case TOpenFailure::TKind::ClientCertificateRequired:
    case TOpenFailure::TKind::HandshakeFailed:
    case TOpenFailure::TKind::KeyFileExposed:
    case TOpenFailure::TKind::TlsFileUnusable:
      return true;
    default:
      return false;
  }
}

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
    case TOpenFailure::TKind::TlsFileUnusable: {
      const QString why = TlsFileErrorText(failure.systemError);
      return why.isEmpty() ? GetText(kTextTlsFileUnusable)
                           : GetText(kTextTlsFileUnusable) + QStringLiteral(": ") + why;
    }
  }
  return QString();
}

void ShowOpenFailureDialog(const TOpenFailure &failure) {
  if (!failure.Failed() || failure.kind == TOpenFailure::TKind::Stopped) {
    return;
  }
  const bool usb = failure.kind == TOpenFailure::TKind::UsbAdapter;
  // The headline says serial port, as for every port the menu lists; the
  // reason line tells that the network port's security failed.
  const QString reason = IsTlsFailure(failure.kind)
                             ? GetText(kTextTlsConnectionFailed).arg(OpenFailureText(failure))
                             : OpenFailureText(failure);
  Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError),
                     GetText(usb ? kTextUsbPortError : kTextSerialPortError),
                     failure.address.isEmpty()
                         ? reason
                         : GetText(kTextNetworkErrorAddress).arg(reason, failure.address),
                     kMessageDialogButtonOk);
}
