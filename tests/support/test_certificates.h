// Certificates made by the test itself with the openssl command, in a
// temporary folder of its own (EC P-256 keys, each key readable by its
// owner alone):
//   ca.pem                 the test CA
//   server.pem/server.key  localhost and 127.0.0.1, from the CA
//   other.pem/other.key    other.example only, from the CA
//   expired.pem            as server.pem (server.key), expired yesterday
//   self.pem/self.key      localhost and 127.0.0.1, self-signed
//   client.pem/client.key  a client certificate from the CA
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <stdexcept>

class TTestCertificates {
 public:
  TTestCertificates() {
    const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"};
    Run(QStringList{"req", "-x509"} + ec +
        QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "30", "-subj", "/CN=Test CA"});
    Issue("server", "subjectAltName=DNS:localhost,IP:127.0.0.1", "30", "server");
    Issue("other", "subjectAltName=DNS:other.example", "30", "other");
    Issue("expired", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-1", "server");
    Issue("client", "extendedKeyUsage=clientAuth", "30", "client");
    Run(QStringList{"req", "-x509"} + ec +
        QStringList{"-keyout", "self.key", "-out", "self.pem", "-days", "30", "-subj",
                    "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
    for (const char *key : {"ca.key", "server.key", "other.key", "client.key", "self.key"}) {
      QFile::setPermissions(Path(key), QFile::ReadOwner | QFile::WriteOwner);
    }
  }

  QString Path(const char *name) const { return folder_.filePath(QLatin1String(name)); }

  // The SHA-256 fingerprint of a certificate as openssl prints it (AB:CD:…).
  QString Fingerprint(const char *pem) const {
    const QByteArray out =
        Run({"x509", "-in", Path(pem), "-noout", "-fingerprint", "-sha256"}).trimmed();
    return QString::fromLatin1(out.mid(out.indexOf('=') + 1));
  }

 private:
  // A certificate 'name' from the CA, valid for 'days' from now, for the key
  // of 'keyOf' (made when it is 'name').
  void Issue(const QString &name, const QString &extension, const QString &days,
             const QString &keyOf) {
    if (keyOf == name) {
      Run({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
           name + ".key", "-out", name + ".csr", "-subj", "/CN=" + name});
    }
    QFile extensions(Path("extensions"));
    if (!extensions.open(QIODevice::WriteOnly) || extensions.write(extension.toUtf8()) < 0) {
      throw std::runtime_error("cannot write the extension file");
    }
    extensions.close();
    const QStringList issue = {"x509",       "-req",   "-in",        keyOf + ".csr",    "-CA",
                               "ca.pem",     "-CAkey", "ca.key",     "-CAcreateserial", "-extfile",
                               "extensions", "-out",   name + ".pem"};
    // OpenSSL 3.4 and later refuse a negative day count but take dates, which
    // 3.0 does not know: an expired certificate is made the way the one at
    // hand takes.
    if (days.startsWith(u'-') && TryRun(issue + QStringList{"-not_before", "20200101000000Z",
                                                            "-not_after", "20200102000000Z"})) {
      return;
    }
    Run(issue + QStringList{"-days", days});
  }

  bool TryRun(const QStringList &arguments, QByteArray *output = nullptr,
              QByteArray *errors = nullptr) const {
    QProcess openssl;
    openssl.setWorkingDirectory(folder_.path());
    openssl.start(QStringLiteral("openssl"), arguments);
    const bool ran = openssl.waitForFinished(30000) &&
                     openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
    if (output != nullptr) {
      *output = openssl.readAllStandardOutput();
    }
    if (errors != nullptr) {
      *errors = openssl.readAllStandardError();
    }
    return ran;
  }

  QByteArray Run(const QStringList &arguments) const {
    QByteArray output;
    QByteArray errors;
    if (!TryRun(arguments, &output, &errors)) {
      throw std::runtime_error("openssl " + arguments.join(' ').toStdString() +
                               " failed: " + errors.toStdString());
    }
    return output;
  }

  QTemporaryDir folder_;
};
