#include "text_table.h"

#include <gtest/gtest.h>

namespace {

class TextTable : public ::testing::Test {
 protected:
  void SetUp() override { BuildTextTable(); }
  void TearDown() override { SetCurrentLanguage(kLanguageHungarian); }

  static QString In(TLanguage language, int index) {
    SetCurrentLanguage(language);
    return GetText(index);
  }
};

TEST_F(TextTable, EveryTextExistsInBothLanguages) {
  for (int index = 0; index < kTextCount; ++index) {
    EXPECT_FALSE(In(kLanguageHungarian, index).isEmpty()) << index;
    EXPECT_FALSE(In(kLanguageEnglish, index).isEmpty()) << index;
  }
}

TEST_F(TextTable, AccentedLettersComeOutExactly) {
  EXPECT_EQ(In(kLanguageHungarian, 8), QString::fromUtf8("Elérhető portok keresése"));
  EXPECT_EQ(In(kLanguageHungarian, 15),
            QString::fromUtf8("Figyelmeztetés lecsatlakoztatás esetén"));
  EXPECT_EQ(In(kLanguageHungarian, 33), QString::fromUtf8("Nem üzemkész az eszköz"));
  EXPECT_EQ(In(kLanguageHungarian, 41),
            QString::fromUtf8("A fájl nem írható! (Lehet, hogy írásvédett)"));
  EXPECT_EQ(In(kLanguageHungarian, 55), QString::fromUtf8("Újrapróbál"));
  EXPECT_EQ(In(kLanguageEnglish, 16), "Language (Nyelv)");
}

TEST_F(TextTable, DisplayLinesKeepTheirCentringSpaces) {
  EXPECT_EQ(In(kLanguageHungarian, 22), "      Nincs");
  EXPECT_EQ(In(kLanguageHungarian, 23), QString::fromUtf8("  kommunikáció!"));
  EXPECT_EQ(In(kLanguageHungarian, 24), "   Nincs port");
  EXPECT_EQ(In(kLanguageHungarian, 25), "   megnyitva!");
  EXPECT_EQ(In(kLanguageHungarian, 26), QString::fromUtf8("Frekvenciaváltó"));
  EXPECT_EQ(In(kLanguageHungarian, 27), "keresése...");
  EXPECT_EQ(In(kLanguageEnglish, 22), " Communication");
  EXPECT_EQ(In(kLanguageEnglish, 23), "     error!");
  EXPECT_EQ(In(kLanguageEnglish, 24), "      Port");
  EXPECT_EQ(In(kLanguageEnglish, 25), "     error!");
  EXPECT_EQ(In(kLanguageEnglish, 26), "  Finding freq.");
  EXPECT_EQ(In(kLanguageEnglish, 27), "converter: ");
  for (int index = 22; index <= 27; ++index) {
    EXPECT_LE(In(kLanguageHungarian, index).size(), 16) << index;
    EXPECT_LE(In(kLanguageEnglish, index).size(), 16) << index;
  }
}

TEST_F(TextTable, AlertTextsAreJoinedWithLineFeeds) {
  EXPECT_EQ(
      In(kLanguageHungarian, 44),
      QString::fromUtf8("Paraméter mentés esetén a paraméterkészlet mind a programozó terminál\n"
                        "memóriájába, mind a Sorvanel program memóriájába mentésre kerül.\n\n"
                        "Paraméter betöltés esetén a kiválasztott paraméterek a programozó\n"
                        "terminál memóriájából töltődnek be."));
  EXPECT_EQ(In(kLanguageEnglish, 44),
            "In case of parameters saving the parameter-set is saving into the\n"
            "programming terminal's memory and Sorvanel's memory, too.\n\n"
            "In case of parameters loading the selected parameters are loading\n"
            "from the programming terminal's memory");
  EXPECT_EQ(In(kLanguageEnglish, 46),
            "In case of parameters saving the parameter-set is saving into\n"
            "Sorvanel's memory\n\n"
            "In case of parameters loading the selected parameters are loading\n"
            "from the Sorvanel program's memory");
  EXPECT_TRUE(In(kLanguageHungarian, 46).endsWith(QString::fromUtf8("memóriájából töltődnek be.")));
  EXPECT_FALSE(In(kLanguageHungarian, 46).contains(u'\r'));
}

TEST_F(TextTable, TextsThatReadTheSameInBothLanguages) {
  for (int index : {17, 18, 48, 59}) {
    EXPECT_EQ(In(kLanguageHungarian, index), In(kLanguageEnglish, index)) << index;
  }
  EXPECT_EQ(In(kLanguageEnglish, 17), "Magyar");
  EXPECT_EQ(In(kLanguageHungarian, 18), "English");
  EXPECT_EQ(In(kLanguageEnglish, 58), "Frequency conv.");
}

TEST_F(TextTable, IndexOutsideTheTableGivesEmptyText) {
  EXPECT_EQ(In(kLanguageEnglish, -1), "");
  EXPECT_EQ(In(kLanguageEnglish, kTextCount), "");
  EXPECT_EQ(In(kLanguageHungarian, 255), "");
}

TEST_F(TextTable, UnknownLanguageSelectsHungarian) {
  SetCurrentLanguage(kLanguageEnglish);
  SetCurrentLanguage(7);
  EXPECT_EQ(CurrentLanguage(), kLanguageHungarian);
  EXPECT_EQ(GetText(28), "Hiba!");
}

TEST_F(TextTable, LanguageSwitchTakesEffectOnTheNextLookup) {
  SetCurrentLanguage(kLanguageHungarian);
  EXPECT_EQ(GetText(28), "Hiba!");
  SetCurrentLanguage(kLanguageEnglish);
  EXPECT_EQ(CurrentLanguage(), kLanguageEnglish);
  EXPECT_EQ(GetText(28), "Error!");
}

TEST(TextLookup, EmptyEntryFallsBackToHungarian) {
  TTextTable table;
  table[kLanguageHungarian][5] = "Törlés";
  table[kLanguageEnglish][6] = "Settings";
  table[kLanguageHungarian][6] = "Beállítások";
  EXPECT_EQ(LookUpText(table, kLanguageEnglish, 5), "Törlés");
  EXPECT_EQ(LookUpText(table, kLanguageEnglish, 6), "Settings");
  EXPECT_EQ(LookUpText(table, 9, 6), "Beállítások");
  EXPECT_EQ(LookUpText(table, kLanguageEnglish, kTextCount), "");
}

}  // namespace
