// The words of a failed open: the table's text for a tty's errno, the
// system's own message where the table has none; a TLS failure's words all
// in the window's language, under a line that names the network port's
// security.
#include "open_error_dialogs.h"

#include <gtest/gtest.h>

#include <QString>
#include <cerrno>

#include "recording_dialogs.h"
#include "text_table.h"

namespace {

using TKind = TOpenFailure::TKind;

TEST(SerialOpenErrorText, ErrnoValuesMapToTheirTexts) {
  EXPECT_EQ(SerialOpenErrorTextIndex(ENOENT), 31);
  EXPECT_EQ(SerialOpenErrorTextIndex(EACCES), 32);
  EXPECT_EQ(SerialOpenErrorTextIndex(EPERM), 32);
  EXPECT_EQ(SerialOpenErrorTextIndex(ENOTTY), 34);
  EXPECT_EQ(SerialOpenErrorTextIndex(ENODEV), 35);
  EXPECT_EQ(SerialOpenErrorTextIndex(ENXIO), 35);
  EXPECT_EQ(SerialOpenErrorTextIndex(EBUSY), 37);
  EXPECT_EQ(SerialOpenErrorTextIndex(EAGAIN), 37);
  EXPECT_EQ(SerialOpenErrorTextIndex(EIO), 38);
}

TEST(SerialOpenErrorText, ErrorWithoutATextShowsTheSystemsMessage) {
  EXPECT_EQ(SerialOpenErrorTextIndex(EDOM), -1);
  EXPECT_EQ(OpenFailureText(TOpenFailure::OfTty(EDOM)), qt_error_string(EDOM));
  EXPECT_FALSE(OpenFailureText(TOpenFailure::OfTty(EDOM)).isEmpty());
}

// The dialog's first message line for 'failure' at a network address.
QString ReasonLineShown(TKind kind, int error = 0) {
  TRecordingDialogs dialogs;
  TOpenFailure failure = TOpenFailure::OfNetwork(kind, error);
  failure.address = QStringLiteral("10.0.4.20:4443");
  ShowOpenFailureDialog(failure);
  EXPECT_EQ(dialogs.records.size(), 1u);
  // "Soros port hiba!" as for any port
  EXPECT_EQ(dialogs.last().headline, GetText(kTextSerialPortError));
  return dialogs.last().message.section(u'\n', 0, 0);
}

TEST(TlsFailureWords, TellTheSecurityFailedInTheWindowsLanguage) {
  BuildTextTable();
  for (const TLanguage language : {kLanguageHungarian, kLanguageEnglish}) {
    SetCurrentLanguage(language);
    const QString fileUnusable = GetText(kTextTlsFileUnusable);
    EXPECT_EQ(ReasonLineShown(TKind::ClientCertificateRequired),
              GetText(kTextTlsConnectionFailed).arg(GetText(kTextTlsClientCertificateRequired)));
    EXPECT_EQ(ReasonLineShown(TKind::TlsFileUnusable, EACCES),
              GetText(kTextTlsConnectionFailed)
                  .arg(fileUnusable + QStringLiteral(": ") + GetText(kTextFileNoPermission)));
    EXPECT_EQ(OpenFailureText(TOpenFailure::OfNetwork(TKind::TlsFileUnusable, ENOENT)),
              fileUnusable + QStringLiteral(": ") + GetText(kTextFileDoesNotExist));
    // No words of the table: none of the system's, which speak its locale.
    EXPECT_EQ(OpenFailureText(TOpenFailure::OfNetwork(TKind::TlsFileUnusable, EIO)), fileUnusable);
    EXPECT_EQ(ReasonLineShown(TKind::ConnectionRefused), GetText(kTextNetworkConnectionRefused));
  }
  SetCurrentLanguage(kLanguageHungarian);
}

}  // namespace
