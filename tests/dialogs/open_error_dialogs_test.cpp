// The words of a failed open: the table's text for a tty's errno, the
// system's own message where the table has none.
#include "open_error_dialogs.h"

#include <gtest/gtest.h>

#include <QString>
#include <cerrno>

namespace {

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

}  // namespace
