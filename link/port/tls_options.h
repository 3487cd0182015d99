// What a TLS network port asks of the server and gives it, from the options
// of its URL (network_address.h):
//   ca=FILE                trust anchors in PEM instead of the system's store
//   fingerprint=sha256:HEX the server's certificate pinned by the SHA-256 of
//                          its DER form; 64 hex digits, colons between byte
//                          pairs allowed. With a pin only the pin decides.
//   cert=FILE&key=FILE     a client certificate and its key in PEM
// FILE is an absolute path (percent-encoded where needed): the program's
// working folder is no place to look for keys.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrlQuery>
#include <optional>

struct TTlsOptions {
  QString caFile;          // empty: the system's trust store
  QByteArray fingerprint;  // 32 bytes, or empty: no pin
  QString certFile;        // with keyFile, or both empty
  QString keyFile;
};

// The options of a TLS URL's query; none when an option is unknown, given
// twice, empty or malformed, or when cert comes without key or key without
// cert.
std::optional<TTlsOptions> ParseTlsOptions(const QUrlQuery &query);

// The 32 bytes of "sha256:HEX" (HEX as above, either case); none otherwise.
std::optional<QByteArray> ParseSha256Fingerprint(const QString &text);

// "AB:CD:…": the way fingerprints are shown and pinned, comparable at a
// glance with what `openssl x509 -fingerprint -sha256` prints.
QString FingerprintText(const QByteArray &sha256);
