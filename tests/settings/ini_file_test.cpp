#include "ini_file.h"

#include <gtest/gtest.h>

#include <QList>
#include <QRandomGenerator>

namespace {

TIniFile Parse(const char *text) {
  return TIniFile::Parse(QByteArray(text));
}

TEST(IniReading, SectionAndKeyNamesIgnoreLetterCase) {
  const TIniFile file = Parse("[sORVANEL]\nport=COM3\n");
  EXPECT_EQ(file.ReadString("Sorvanel", "PORT", "x"), "COM3");
  EXPECT_TRUE(file.HasSection("sorvanel"));
}

TEST(IniReading, WhitespaceAroundKeysValuesAndHeadersIsDropped) {
  const TIniFile file = Parse("  [ Main ]  \n\t Port \t=  COM 3 \t\n");
  EXPECT_EQ(file.ReadString("Main", "Port", "x"), "COM 3");
}

TEST(IniReading, ValueKeepsEverythingAfterTheFirstEqualsSign) {
  EXPECT_EQ(Parse("[S]\nK=a=b\n").ReadString("S", "K", ""), "a=b");
}

TEST(IniReading, FirstOccurrenceOfSectionAndKeyCounts) {
  const TIniFile file = Parse("[S]\nK=1\nK=2\n[S]\nK=3\nL=4\n");
  EXPECT_EQ(file.ReadInteger("S", "K", 0), 1);
  EXPECT_EQ(file.ReadInteger("S", "L", 0), 0);  // only the first [S] is read
}

TEST(IniReading, KeysOfOtherSectionsAndCommentsAreNotRead) {
  const TIniFile file = Parse("K=0\n[Other]\nK=1\n[S]\n;K=2\n  ; K=3\n");
  EXPECT_FALSE(file.Value("S", "K").has_value());
  EXPECT_EQ(file.ReadInteger("S", "K", 7), 7);
}

TEST(IniReading, CrLfLineEndsAndMissingFinalNewline) {
  const TIniFile file = Parse("[S]\r\nA=1\r\nB=two");
  EXPECT_EQ(file.ReadString("S", "A", ""), "1");
  EXPECT_EQ(file.ReadString("S", "B", ""), "two");
}

TEST(IniReading, LongValueIsCutTo2047Characters) {
  const QByteArray text = "[S]\nK=" + QByteArray(5000, 'a') + "\n";
  EXPECT_EQ(TIniFile::Parse(text).ReadString("S", "K", "").size(), 2047);
}

// Entries never cut a value: a line with a value over the limit is no entry,
// so a later line of its key is the one taken.
TEST(IniReading, EntriesLeaveOutOverlongValuesInsteadOfCuttingThem) {
  const QString longest(TIniFile::kMaxValueLength, u'b');
  const QByteArray text = "[S]\nA=" + QByteArray(TIniFile::kMaxValueLength + 1, 'a') +
                          "\na=short\nB=" + longest.toUtf8() +
                          "\nC=" + QString(TIniFile::kMaxValueLength, QChar(0x0151)).toUtf8() +
                          "\n";
  QStringList overlong;
  const TIniFile::TEntries entries = TIniFile::Parse(text).Entries("S", &overlong);
  const TIniFile::TEntries expected = {
      {"a", "short"}, {"B", longest}, {"C", QString(TIniFile::kMaxValueLength, QChar(0x0151))}};
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(overlong, QStringList{"A"});
}

// Letter case is ignored beyond ASCII too, the same way by every lookup.
TEST(IniReading, EntriesAndValuesAgreeOnWhichNamesAreTheSame) {
  const TIniFile file = Parse(
      "[S]\n\xc3\x81rv\xc3\xadz=1\n\xc3\xa1RV\xc3\x8dZ=2\n"
      "\xe2\x84\xaa=kelvin\nk=3\n\xce\xa3=4\n\xcf\x83=5\n");
  const TIniFile::TEntries entries = file.Entries("S");
  ASSERT_EQ(entries.size(), 3u);
  for (const auto &[name, value] : entries) {
    EXPECT_EQ(file.ReadString("S", name, ""), value) << name.toStdString();
  }
  EXPECT_EQ(entries[1].second, "kelvin");
}

TEST(IniReading, Utf8TextIsDecoded) {
  EXPECT_EQ(Parse("[S]\nK=árvíztűrő\n").ReadString("S", "K", ""), QString::fromUtf8("árvíztűrő"));
}

TEST(IniIntegers, DecimalHexadecimalAndDollar) {
  EXPECT_EQ(ParseIniInteger("42"), 42);
  EXPECT_EQ(ParseIniInteger("-20"), -20);
  EXPECT_EQ(ParseIniInteger("+5"), 5);
  EXPECT_EQ(ParseIniInteger("007"), 7);
  EXPECT_EQ(ParseIniInteger("0x1"), 1);
  EXPECT_EQ(ParseIniInteger("0XfF"), 255);
  EXPECT_EQ(ParseIniInteger("$1"), 1);
  EXPECT_EQ(ParseIniInteger("$7FFFFFFF"), 2147483647);
  EXPECT_EQ(ParseIniInteger("-2147483648"), -2147483648LL);
}

TEST(IniIntegers, AnythingElseIsNotAnInteger) {
  for (const char *text :
       {"", "yes", "12abc", "0x", "$", "-", "+", "1 2", "0x-1", "$-1", "-0x1", "1.5", "0xG",
        "2147483648", "-2147483649", "$80000000", "99999999999999999999999"}) {
    EXPECT_FALSE(ParseIniInteger(text).has_value()) << text;
  }
}

TEST(IniIntegers, InvalidValueGivesTheDefault) {
  const TIniFile file = Parse("[S]\nA=yes\nB=\nC=0x\n");
  EXPECT_EQ(file.ReadInteger("S", "A", 9), 9);
  EXPECT_EQ(file.ReadInteger("S", "B", 9), 9);
  EXPECT_EQ(file.ReadInteger("S", "C", 9), 9);
  EXPECT_TRUE(file.ReadBool("S", "A", true));
  EXPECT_FALSE(file.ReadBool("S", "A", false));
}

TEST(IniIntegers, BoolIsAnyNonZeroInteger) {
  const TIniFile file = Parse("[S]\nA=0x1\nB=$1\nC=0\nD=-3\n");
  EXPECT_TRUE(file.ReadBool("S", "A", false));
  EXPECT_TRUE(file.ReadBool("S", "B", false));
  EXPECT_FALSE(file.ReadBool("S", "C", true));
  EXPECT_TRUE(file.ReadBool("S", "D", false));
}

TEST(IniWriting, UnchangedTextComesBackByteForByte) {
  const QByteArray text("; top\r\n[A]\r\nx = 1 \r\n\r\ngarbage line\n[B]\nK=v\0w\nlast", 48);
  EXPECT_EQ(TIniFile::Parse(text).Serialize(), text);
}

TEST(IniWriting, EraseKeepsHeaderPlaceCommentsAndOtherSections) {
  TIniFile file = Parse("[A]\nk=1\n[S]\n; note\nOld=1\nother=2\n\n[B]\nk=2\n");
  file.EraseSection("s");
  file.WriteString("S", "New", "v");
  EXPECT_EQ(file.Serialize(), "[A]\nk=1\n[S]\n; note\nNew=v\n\n[B]\nk=2\n");
}

TEST(IniWriting, EraseClearsEveryCopyOfTheSection) {
  TIniFile file = Parse("[S]\nA=1\n[T]\nB=2\n[S]\nC=3\n");
  file.EraseSection("S");
  EXPECT_EQ(file.Serialize(), "[S]\n[T]\nB=2\n[S]\n");
}

TEST(IniWriting, KeysAreAddedInOrderAndMissingSectionIsCreatedAtTheEnd) {
  TIniFile file = Parse("[A]\nk=1");  // no final newline
  file.WriteString("S", "One", "1");
  file.WriteInteger("S", "Two", -2);
  file.WriteBool("S", "Three", true);
  EXPECT_EQ(file.Serialize(), "[A]\nk=1\n[S]\nOne=1\nTwo=-2\nThree=1\n");
}

TEST(IniWriting, NewLinesFollowTheFilesLineEnds) {
  TIniFile file = Parse("[A]\r\nk=1\r\n");
  file.WriteString("A", "m", "2");
  EXPECT_EQ(file.Serialize(), "[A]\r\nk=1\r\nm=2\r\n");
}

TEST(IniWriting, ExistingKeyIsRewrittenInPlace) {
  TIniFile file = Parse("[S]\nA=1\nB=2\n");
  file.WriteString("s", "a", "9");
  EXPECT_EQ(file.Serialize(), "[S]\na=9\nB=2\n");
}

TEST(IniWriting, EraseCanKeepTheLinesEntriesLeaveOut) {
  const QByteArray longLine = " Long = " + QByteArray(TIniFile::kMaxValueLength + 1, 'x') + " ";
  TIniFile file = TIniFile::Parse("[S]\nA=1\n" + longLine + "\r\nB=2\n[T]\n" + longLine + "\n");
  file.EraseSection("S", TIniFile::TOverlongLines::Keep);
  EXPECT_EQ(file.Serialize(), "[S]\n" + longLine + "\r\n[T]\n" + longLine + "\n");
  file.EraseSection("S");
  EXPECT_EQ(file.Serialize(), "[S]\n[T]\n" + longLine + "\n");
}

// Writing many keys at once gives exactly the text of one WriteString per
// key: existing keys rewritten in place (letter case ignored), new ones after
// the section's last non-blank line, a missing section made at the end, keys
// repeated within the call, and keys that do not read back as themselves.
TEST(IniWriting, WriteStringsGivesTheTextOfOneWriteStringPerKey) {
  const QList<QByteArray> files = {"",
                                   "[A]\nk=1",
                                   "[S]",
                                   "; top\r\n[S]\r\nOld=1\r\n; note\r\n\r\n\r\n[T]\r\nx=1\r\n",
                                   "[s]\nb=1\nB=2\n\n[S]\nc=3\n",
                                   "\xef\xbb\xbf[S]\n\xc3\x81=1\nK=2\ngarbage\n\n",
                                   "[T]\n[S]\n\n\n"};
  const QList<TIniFile::TEntries> keyLists = {
      {},
      {{"a", "1"}, {"B", "2\n3"}, {"c", ""}},
      {{"c", "x"}, {"C", "y"}, {"new", "z"}, {"NEW", "w"}, {"\xc3\xa1", "v"}},
      {{"\xe2\x84\xaa", "kelvin"}, {"k", "3"}, {"b", "4"}},
      {{"x", "1"}, {"[T]", "2"}, {"y", "3"}},
      {{" pad ", "1"}, {"pad", "2"}, {";c", "3"}, {"e=q", "4"}}};
  for (const QByteArray &text : files) {
    for (const TIniFile::TEntries &keys : keyLists) {
      TIniFile oneByOne = TIniFile::Parse(text);
      for (const auto &[key, value] : keys) {
        oneByOne.WriteString("S", key, value);
      }
      TIniFile atOnce = TIniFile::Parse(text);
      atOnce.WriteStrings("S", keys);
      EXPECT_EQ(atOnce.Serialize(), oneByOne.Serialize())
          << text.toStdString() << " + " << keys.size() << " keys";
    }
  }
}

TEST(IniWriting, LineBreaksInAValueCannotInjectLines) {
  TIniFile file;
  file.WriteString("S", "Port", "COM1\n[Evil]\r\nK=1");
  const TIniFile reread = TIniFile::Parse(file.Serialize());
  EXPECT_FALSE(reread.HasSection("Evil"));
  EXPECT_EQ(reread.ReadString("S", "Port", ""), "COM1 [Evil]  K=1");
}

// Random bytes drawn mostly from INI punctuation, so that headers, keys and
// line ends are common. Parsing, reading, editing and writing must survive
// all of them, and untouched text must come back unchanged.
TEST(IniRobustness, RandomInputNeverBreaksParsing) {
  QRandomGenerator random(12345);
  const QByteArray alphabet("[]=;$0x1 \t\r\n\0aSK-", 18);
  for (int round = 0; round < 3000; ++round) {
    QByteArray bytes;
    const int length = static_cast<int>(random.bounded(200));
    for (int i = 0; i < length; ++i) {
      bytes += random.bounded(4) == 0 ? static_cast<char>(random.bounded(256))
                                      : alphabet[random.bounded(alphabet.size())];
    }
    TIniFile file = TIniFile::Parse(bytes);
    ASSERT_EQ(file.Serialize(), bytes);
    file.ReadInteger("S", "K", 0);
    file.EraseSection("S");
    file.WriteString("S", "K", "v");
    EXPECT_EQ(TIniFile::Parse(file.Serialize()).ReadString("S", "K", ""), "v")
        << bytes.toHex().toStdString();
  }
}

}  // namespace
