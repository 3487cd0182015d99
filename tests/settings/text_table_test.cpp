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
  EXPECT_EQ(In(kLanguageHungarian, kTextMenuFindAvailablePorts),
            QString::fromUtf8("Elérhető portok keresése"));
  EXPECT_EQ(In(kLanguageHungarian, kTextMenuProgTermAlertOnDisconnect),
            QString::fromUtf8("Figyelmeztetés lecsatlakoztatás esetén"));
  EXPECT_EQ(In(kLanguageHungarian, kTextNotReady), QString::fromUtf8("Nem üzemkész az eszköz"));
  EXPECT_EQ(In(kLanguageHungarian, kTextFileNotWritable),
            QString::fromUtf8("A fájl nem írható! (Lehet, hogy írásvédett)"));
  EXPECT_EQ(In(kLanguageHungarian, kTextButtonRetry), QString::fromUtf8("Újrapróbál"));
  EXPECT_EQ(In(kLanguageEnglish, kTextMenuLanguage), "Language (Nyelv)");
}

TEST_F(TextTable, DisplayLinesKeepTheirCentringSpaces) {
  EXPECT_EQ(In(kLanguageHungarian, kTextNoCommunicationLine2), "      Nincs");
  EXPECT_EQ(In(kLanguageHungarian, kTextNoCommunicationLine3),
            QString::fromUtf8("  kommunikáció!"));
  EXPECT_EQ(In(kLanguageHungarian, kTextNoPortLine2), "   Nincs port");
  EXPECT_EQ(In(kLanguageHungarian, kTextNoPortLine3), "   megnyitva!");
  EXPECT_EQ(In(kLanguageHungarian, kTextSearchingLine2), QString::fromUtf8("Frekvenciaváltó"));
  EXPECT_EQ(In(kLanguageHungarian, kTextSearchingLine3), "keresése...");
  EXPECT_EQ(In(kLanguageEnglish, kTextNoCommunicationLine2), " Communication");
  EXPECT_EQ(In(kLanguageEnglish, kTextNoCommunicationLine3), "     error!");
  EXPECT_EQ(In(kLanguageEnglish, kTextNoPortLine2), "      Port");
  EXPECT_EQ(In(kLanguageEnglish, kTextNoPortLine3), "     error!");
  EXPECT_EQ(In(kLanguageEnglish, kTextSearchingLine2), "  Finding freq.");
  EXPECT_EQ(In(kLanguageEnglish, kTextSearchingLine3), "converter: ");
  for (int index = kTextNoCommunicationLine2; index <= kTextSearchingLine3; ++index) {
    EXPECT_LE(In(kLanguageHungarian, index).size(), 16) << index;
    EXPECT_LE(In(kLanguageEnglish, index).size(), 16) << index;
  }
}

TEST_F(TextTable, AlertTextsAreJoinedWithLineFeeds) {
  EXPECT_EQ(
      In(kLanguageHungarian, kTextProgTermConnectedMessage),
      QString::fromUtf8("Paraméter mentés esetén a paraméterkészlet mind a programozó terminál\n"
                        "memóriájába, mind a Sorvanel program memóriájába mentésre kerül.\n\n"
                        "Paraméter betöltés esetén a kiválasztott paraméterek a programozó\n"
                        "terminál memóriájából töltődnek be."));
  EXPECT_EQ(In(kLanguageEnglish, kTextProgTermConnectedMessage),
            "In case of parameters saving the parameter-set is saving into the\n"
            "programming terminal's memory and Sorvanel's memory, too.\n\n"
            "In case of parameters loading the selected parameters are loading\n"
            "from the programming terminal's memory");
  EXPECT_EQ(In(kLanguageEnglish, kTextProgTermDisconnectedMessage),
            "In case of parameters saving the parameter-set is saving into\n"
            "Sorvanel's memory\n\n"
            "In case of parameters loading the selected parameters are loading\n"
            "from the Sorvanel program's memory");
  EXPECT_TRUE(In(kLanguageHungarian, kTextProgTermDisconnectedMessage)
                  .endsWith(QString::fromUtf8("memóriájából töltődnek be.")));
  EXPECT_FALSE(In(kLanguageHungarian, kTextProgTermDisconnectedMessage).contains(u'\r'));
}

TEST_F(TextTable, TextsThatReadTheSameInBothLanguages) {
  for (int index :
       {kTextMenuLanguageHun, kTextMenuLanguageEng, kTextButtonOk, kTextProgTermPanel}) {
    EXPECT_EQ(In(kLanguageHungarian, index), In(kLanguageEnglish, index)) << index;
  }
  EXPECT_EQ(In(kLanguageEnglish, kTextMenuLanguageHun), "Magyar");
  EXPECT_EQ(In(kLanguageHungarian, kTextMenuLanguageEng), "English");
  EXPECT_EQ(In(kLanguageEnglish, kTextConverterPanel), "Frequency conv.");
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
  EXPECT_EQ(GetText(kTextError), "Hiba!");
}

TEST_F(TextTable, LanguageSwitchTakesEffectOnTheNextLookup) {
  SetCurrentLanguage(kLanguageHungarian);
  EXPECT_EQ(GetText(kTextError), "Hiba!");
  SetCurrentLanguage(kLanguageEnglish);
  EXPECT_EQ(CurrentLanguage(), kLanguageEnglish);
  EXPECT_EQ(GetText(kTextError), "Error!");
}

TEST(TextLookup, EmptyEntryFallsBackToHungarian) {
  TTextTable table;
  table[kLanguageHungarian][kTextMenuMemoryClear] = "Törlés";
  table[kLanguageEnglish][kTextMenuSettings] = "Settings";
  table[kLanguageHungarian][kTextMenuSettings] = "Beállítások";
  EXPECT_EQ(LookUpText(table, kLanguageEnglish, kTextMenuMemoryClear), "Törlés");
  EXPECT_EQ(LookUpText(table, kLanguageEnglish, kTextMenuSettings), "Settings");
  EXPECT_EQ(LookUpText(table, 9, kTextMenuSettings), "Beállítások");
  EXPECT_EQ(LookUpText(table, kLanguageEnglish, kTextCount), "");
}

}  // namespace
