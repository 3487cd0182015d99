// Why a port did not open: one reason for every kind of device. A device's
// Open returns it (kind None: the device is open); the port keeps the reason
// of its last failed open and reports it, and the dialogs turn it into words.
//
// A new kind of device adds its reasons to TKind (and their texts to the
// dialogs); the value stays a plain, header-only struct that every floor
// above the port can hold.
#pragma once

#include <QString>

#include "usb_status.h"

struct TOpenFailure {
  enum class TKind {
    None,  // no failure: the device is open

    Tty,  // a tty: the errno of the step that failed, in systemError

    UsbAdapter,  // the FTDI adapter: its status in usbStatus

    // A network port.
    InvalidAddress,      // not a network port URL (network_address.h)
    HostNotFound,        // the name does not resolve
    ConnectionRefused,   // nothing listens on that port
    NoAnswer,            // no connection or no negotiation within the limit
    SettingsRefused,     // the server refused the line settings
    ConnectionClosed,    // the server closed or reset the connection while opening
    NetworkSystemError,  // anything else; the errno in systemError
    Stopped,             // the program is ending: the open gave up at once

    // A network port inside TLS: the server was reached, but no byte of the
    // line crossed.
    CertificateNotTrusted,      // no trust anchor vouches for the server's certificate
    CertificateWrongName,       // the certificate is for another name or address
    CertificateExpired,         // expired or not yet valid
    FingerprintMismatch,        // not the certificate the address pins
    ClientCertificateRequired,  // the server wants a client certificate (it trusts)
    HandshakeFailed,            // no TLS (1.2 or newer) could be agreed
    KeyFileExposed,             // the client key is readable by group or others
    TlsFileUnusable,            // a ca, cert or key file cannot be read or used; the errno, if any
  };

  TKind kind = TKind::None;
  int systemError = 0;
  TUsbStatus usbStatus = TUsbStatus::Ok;
  QString address;  // a network port: the host and port it tried, or its URL when not valid

  bool Failed() const { return kind != TKind::None; }

  static TOpenFailure OfTty(int error) { return {TKind::Tty, error, TUsbStatus::Ok, {}}; }
  static TOpenFailure OfUsbAdapter(TUsbStatus status) { return {TKind::UsbAdapter, 0, status, {}}; }
  // 'kind' one of the network kinds; 'error' the errno of NetworkSystemError.
  static TOpenFailure OfNetwork(TKind kind, int error = 0) {
    return {kind, error, TUsbStatus::Ok, {}};
  }
};
