// The two language columns of the user-interface texts. The source is UTF-8;
// every literal is converted with QString::fromUtf8 when the table is built.
#include "text_table.h"

#include <array>

namespace {

struct TTextPair {
  const char *hungarian;
  const char *english;
};

// Leading and trailing spaces are part of the texts: 22 to 27 are centred
// lines of the 16-character terminal display, and 27 is followed directly by
// a port name.
constexpr std::array<TTextPair, kTextCount> kTextSource = {{
    {"Fájl", "File"},                                                                         // 0
    {"Kilépés", "Exit"},                                                                      // 1
    {"Memória", "Memory"},                                                                    // 2
    {"Betöltés fájlból", "Load from file"},                                                   // 3
    {"Mentés fájlba", "Save to file"},                                                        // 4
    {"Törlés", "Clear"},                                                                      // 5
    {"Beállítások", "Settings"},                                                              // 6
    {"Port kezelés", "Port handling"},                                                        // 7
    {"Elérhető portok keresése", "Find available ports"},                                     // 8
    {"Frekvenciaváltó keresése", "Find frequency converter"},                                 // 9
    {"Nagy méret", "Big size"},                                                               // 10
    {"Kis méret", "Small size"},                                                              // 11
    {"Mindig felül", "Always on top"},                                                        // 12
    {"Programozó terminál", "Programming terminal"},                                          // 13
    {"Figyelmeztetés csatlakoztatás esetén", "Alert on connect"},                             // 14
    {"Figyelmeztetés lecsatlakoztatás esetén", "Alert on disconnect"},                        // 15
    {"Nyelv (Language)", "Language (Nyelv)"},                                                 // 16
    {"Magyar", "Magyar"},                                                                     // 17
    {"English", "English"},                                                                   // 18
    {"Súgó", "Help"},                                                                         // 19
    {"Témakörök", "Contents"},                                                                // 20
    {"Névjegy", "About"},                                                                     // 21
    {"      Nincs", " Communication"},                                                        // 22
    {"  kommunikáció!", "     error!"},                                                       // 23
    {"   Nincs port", "      Port"},                                                          // 24
    {"   megnyitva!", "     error!"},                                                         // 25
    {"Frekvenciaváltó", "  Finding freq."},                                                   // 26
    {"keresése...", "converter: "},                                                           // 27
    {"Hiba!", "Error!"},                                                                      // 28
    {"USB port hiba!", "USB port error!"},                                                    // 29
    {"Soros port hiba!", "Serial port error!"},                                               // 30
    {"Nincs ilyen soros port", "Serial port not found"},                                      // 31
    {"Más eszköz használja a soros portot", "Access denied"},                                 // 32
    {"Nem üzemkész az eszköz", "Device not ready"},                                           // 33
    {"Nem támogatott eszköz", "Device not supported"},                                        // 34
    {"Nincs ilyen eszköz", "Device not exist"},                                               // 35
    {"Az eszköz nem nyitható meg", "Failed to open device"},                                  // 36
    {"Foglalt eszköz", "Device busy"},                                                        // 37
    {"Hibás IO eszköz", "IO device error"},                                                   // 38
    {"Nincs soros eszköz", "No serial device"},                                               // 39
    {"Hibás eszköz", "Bad device"},                                                           // 40
    {"A fájl nem írható! (Lehet, hogy írásvédett)", "Write error! (file may be read only)"},  // 41
    {"Hibás memória fájl!", "Corrupted memory file!"},                                        // 42
    {"Programozó terminál csatlakoztatva", "Programming terminal connected"},                 // 43
    {"Paraméter mentés esetén a paraméterkészlet mind a programozó terminál\n"
     "memóriájába, mind a Sorvanel program memóriájába mentésre kerül.\n\n"
     "Paraméter betöltés esetén a kiválasztott paraméterek a programozó\n"
     "terminál memóriájából töltődnek be.",

     "In case of parameters saving the parameter-set is saving into the\n"
     "programming terminal's memory and Sorvanel's memory, too.\n\n"
     "In case of parameters loading the selected parameters are loading\n"
     "from the programming terminal's memory"},                                     // 44
    {"Programozó terminál lecsatlakoztatva", "Programming terminal disconnected"},  // 45
    {"Paraméter mentés esetén a paraméterkészlet csak a Sorvanel program\n"
     "memóriájába kerül mentésre.\n\n"
     "Paraméter betöltés esetén a kiválasztott paraméterek a Sorvanel\n"
     "program memóriájából töltődnek be.",

     "In case of parameters saving the parameter-set is saving into\n"
     "Sorvanel's memory\n\n"
     "In case of parameters loading the selected parameters are loading\n"
     "from the Sorvanel program's memory"},                               // 46
    {"Figyelmeztessen következő alkalommal is", "Show alert next time"},  // 47
    {"OK", "OK"},                                                         // 48
    {"Igen", "Yes"},                                                      // 49
    {"Igen, mindet", "Yes, to all"},                                      // 50
    {"Nem", "No"},                                                        // 51
    {"Nem, egyet sem", "No, to all"},                                     // 52
    {"Mind kihagyja", "Skip all"},                                        // 53
    {"Megszakít", "Abort"},                                               // 54
    {"Újrapróbál", "Retry"},                                              // 55
    {"Kihagy", "Ignore"},                                                 // 56
    {"Mégse", "Cancel"},                                                  // 57
    {"Frekvenciaváltó", "Frequency conv."},                               // 58
    {"Prog. term.", "Prog. term."},                                       // 59
    {"Eszközök", "Tools"},                                                // kTextToolsMenu
    {"Vonalfigyelő", "Line monitor"},                                     // kTextLineMonitor
    {"Idő (ms)", "Time (ms)"},                                            // kTextMonitorTime
    {"Irány", "Dir."},                                                    // kTextMonitorDirection
    {"Karakterek", "Characters"},                                         // kTextMonitorBytes
    {"Hexa", "Hex"},                                                      // kTextMonitorHex
    {"Jelentés", "Meaning"},                                              // kTextMonitorMeaning
    {"Ellenőrzés", "Check"},                                              // kTextMonitorCheck
    {"be", "in"},                                                         // kTextDirectionReceived
    {"ki", "out"},                                                        // kTextDirectionSent
    {"Szünet", "Pause"},                                                  // kTextMonitorPause
    {"Törlés", "Clear"},                                                  // kTextMonitorClear
    {"Másolás", "Copy"},                                                  // kTextMonitorCopy
    {"Mentés szövegként…", "Save as text…"},                              // kTextMonitorSave
    {"Rögzítés fájlba…", "Capture to file…"},                             // kTextCaptureStart
    {"Rögzítés leállítása", "Stop capture"},                              // kTextCaptureStop
    {"Minden", "All"},                                                    // kTextFilterAll
    {"Frekvenciaváltó üzenetei", "Drive messages"},                       // kTextDriveMessages
    {"Válaszok", "Answers"},                                              // kTextAnswers
    {"Programozó terminál keretei", "Programming terminal frames"},       // kTextProgTermFrames
    {"Hibás keretek", "Failed checks"},                                   // kTextFailedChecks
    {"Port események", "Port events"},                                    // kTextPortEvents
    {"Megválaszolatlan (várakoztatás)", "Unanswered (hold-off)"},         // kTextUnansweredHoldOff
    {"Csendes másodpercek", "Silent seconds"},                            // kTextSilentSeconds
    {"Eldobott karakterek", "Characters dropped"},                        // kTextDroppedCharacters
    {"Újracsatlakozások", "Reconnects"},                                  // kTextReconnects
    {"Válaszidő (ms)", "Turnaround (ms)"},                                // kTextTurnaround
    {"p50 %1   p99 %2   max %3", "p50 %1   p99 %2   max %3"},             // kTextTurnaroundFigures
    {"kijelző %1. sor: „%2”", "display line %1: “%2”"},                   // kTextMeaningDisplayLine
    {"memória írás 0x%1: %2", "memory write 0x%1: %2"},                   // kTextMeaningMemoryWrite
    {"memória olvasás 0x%1, %2. sor: „%3”",
     "memory read 0x%1, line %2: “%3”"},             // kTextMeaningMemoryRead
    {"életjel (fajta %1)", "keep-alive (kind %1)"},  // kTextMeaningKeepAlive
    {"gombok: %1, cím 0x%2, érték 0x%3",
     "keys: %1, address 0x%2, value 0x%3"},                                 // kTextMeaningAnswer
    {"programozó terminál, gombok: %1", "programming terminal, keys: %1"},  // kTextMeaningProgTerm
    {"egyéb keret (%1)", "other frame (%1)"},                               // kTextMeaningOther
    {"nincs", "none"},                                                      // kTextNoKeys
    {"rendben", "OK"},                                                      // kTextCheckOk
    {"nincs STX", "no STX"},                                                // kTextCheckNoStx
    {"hibás karakter", "bad character"},               // kTextCheckBadCharacter
    {"hibás hossz", "bad length"},                     // kTextCheckBadLength
    {"hibás ellenőrzőösszeg", "bad checksum"},         // kTextCheckBadChecksum
    {"nincs ETX", "no ETX"},                           // kTextCheckNoEtx
    {"írás sikertelen", "write failed"},               // kTextWriteFailed
    {"port megnyitva: %1", "port opened: %1"},         // kTextPortOpened
    {"port lezárva: %1", "port closed: %1"},           // kTextPortClosed
    {"port elveszett: %1", "port lost: %1"},           // kTextPortLost
    {"port újra megnyitva: %1", "port reopened: %1"},  // kTextPortReopened
    {"A rögzítőfájl nem nyitható meg",
     "The capture file cannot be opened"},  // kTextCaptureOpenFailed
    {"A rögzítés leállt, a fájl nem írható",
     "Capture stopped: the file cannot be written"},                 // kTextCaptureWriteFailed
    {"A szövegfájl nem menthető", "The text file cannot be saved"},  // kTextSaveTextFailed
    {"Rögzítés: %1", "Capturing: %1"},                               // kTextCapturing

}};

TTextTable TextTable;
bool TextTableBuilt = false;
TLanguage Current = kLanguageHungarian;

}  // namespace

void BuildTextTable() {
  for (int index = 0; index < kTextCount; ++index) {
    TextTable[kLanguageHungarian][index] = QString::fromUtf8(kTextSource[index].hungarian);
    TextTable[kLanguageEnglish][index] = QString::fromUtf8(kTextSource[index].english);
  }
  TextTableBuilt = true;
}

QString LookUpText(const TTextTable &table, TLanguage language, int index) {
  if (index < 0 || index >= kTextCount) {
    return {};
  }
  if (language >= kLanguageCount) {
    language = kLanguageHungarian;
  }
  const QString &text = table[language][index];
  return text.isEmpty() ? table[kLanguageHungarian][index] : text;
}

QString GetText(int index) {
  if (!TextTableBuilt) {
    BuildTextTable();
  }
  return LookUpText(TextTable, Current, index);
}

TLanguage CurrentLanguage() {
  return Current;
}

void SetCurrentLanguage(TLanguage language) {
  Current = language == kLanguageEnglish ? kLanguageEnglish : kLanguageHungarian;
}
