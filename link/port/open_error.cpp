#include "open_error.h"

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

QString SerialOpenErrorText(int error) {
  const int index = SerialOpenErrorTextIndex(error);
  return index >= 0 ? GetText(index) : qt_error_string(error);
}

void ShowSerialOpenError(int error) {
  Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError), GetText(kTextSerialPortError),
                     SerialOpenErrorText(error), kMessageDialogButtonOk);
}

QString NetworkOpenErrorText(const TNetworkOpenResult &result) {
  switch (result.error) {
    case TNetworkError::None:
    case TNetworkError::Stopped:  // the program ends: nothing to tell
      return QString();
    case TNetworkError::InvalidAddress:
      return GetText(kTextNetworkInvalidAddress);
    case TNetworkError::HostNotFound:
      return GetText(kTextNetworkHostNotFound);
    case TNetworkError::ConnectionRefused:
      return GetText(kTextNetworkConnectionRefused);
    case TNetworkError::NoAnswer:
      return GetText(kTextNetworkNoAnswer);
    case TNetworkError::SettingsRefused:
      return GetText(kTextNetworkSettingsRefused);
    case TNetworkError::ConnectionClosed:
      return GetText(kTextNetworkConnectionClosed);
    case TNetworkError::SystemError:
      break;
  }
  return qt_error_string(result.systemError);
}

void ShowNetworkOpenError(const TNetworkOpenResult &result, const QString &address) {
  Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError), GetText(kTextSerialPortError),
                     GetText(kTextNetworkErrorAddress).arg(NetworkOpenErrorText(result), address),
                     kMessageDialogButtonOk);
}

void ShowUsbOpenError() {
  Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError), GetText(kTextUsbPortError),
                     QString(), kMessageDialogButtonOk);
}
