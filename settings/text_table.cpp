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
    // The Tools menu and the memory view.
    {"Eszközök", "Tools"},
    {"Memória nézet", "Memory view"},
    {"Összehasonlítás fájllal…", "Compare with file…"},
    {"Kiemelve: amit a frekvenciaváltó az utolsó 5 másodpercben írt",
     "Highlighted: what the converter wrote in the last 5 seconds"},
    {"Nincs eltérés: %1", "No differences: %1"},
    {"%1 eltérő szakasz, %2 bájt (balra a memória, jobbra %3)",
     "%1 differing runs, %2 bytes (memory on the left, %3 on the right)"},
    {"A fájl nem olvasható: %1", "Cannot read the file: %1"},
    {"Hibás memória fájl: %1", "Corrupted memory file: %1"},
    {"Rövid fájl: %1 adatbájt a 8192-ből, a többi 00-nak számít",
     "Short file: %1 of 8192 data bytes, the rest counts as 00"},
    // Network ports.
    {"Hálózati portok…", "Network ports…"},
    {"A gép nem található", "Host not found"},
    {"A gép elutasította a kapcsolatot", "Connection refused"},
    {"Nem jött válasz időben", "No answer in time"},
    {"A kiszolgáló nem fogadta el a 19200 8N1 beállítást", "Server refused 19200 8N1"},
    {"A kiszolgáló bontotta a kapcsolatot", "Connection closed by the server"},
    {"Hibás cím (rfc2217:// vagy socket://, TLS-sel rfc2217+tls:// vagy socket+tls://, utána "
     "GÉP:PORT)",
     "Invalid address (rfc2217:// or socket://, with TLS rfc2217+tls:// or socket+tls://, then "
     "HOST:PORT)"},
    {"Hálózati portok", "Network ports"},
    {"Név", "Name"},
    {"Cím (URL)", "Address (URL)"},
    {"Hozzáadás", "Add"},
    {"Eltávolítás", "Remove"},
    {"Kapcsolat kipróbálása", "Try connection"},
    {"A kapcsolat rendben", "Connection works"},
    {"Hibás név", "Invalid name"},
    {"Ez a név már foglalt", "Name already used"},
    {"Kapcsolódás…", "Connecting…"},
    // The line monitor and the capture file.
    {"Vonalfigyelő", "Line monitor"},
    {"Idő (ms)", "Time (ms)"},
    {"Irány", "Dir."},
    {"Karakterek", "Characters"},
    {"Hexa", "Hex"},
    {"Jelentés", "Meaning"},
    {"Ellenőrzés", "Check"},
    {"be", "in"},
    {"ki", "out"},
    {"Szünet", "Pause"},
    {"Törlés", "Clear"},
    {"Másolás", "Copy"},
    {"Mentés szövegként…", "Save as text…"},
    {"Rögzítés fájlba…", "Capture to file…"},
    {"Rögzítés leállítása", "Stop capture"},
    {"Minden", "All"},
    {"Frekvenciaváltó üzenetei", "Drive messages"},
    {"Válaszok", "Answers"},
    {"Programozó terminál keretei", "Programming terminal frames"},
    {"Hibás keretek", "Failed checks"},
    {"Port események", "Port events"},
    {"Megválaszolatlan (várakoztatás)", "Unanswered (hold-off)"},
    {"Csendes másodpercek", "Silent seconds"},
    {"Eldobott karakterek", "Characters dropped"},
    {"Újracsatlakozások", "Reconnects"},
    {"Válaszidő (ms)", "Turnaround (ms)"},
    {"p50 %1   p99 %2   max %3", "p50 %1   p99 %2   max %3"},
    {"kijelző %1. sor: „%2”", "display line %1: “%2”"},
    {"memória írás 0x%1: %2", "memory write 0x%1: %2"},
    {"memória olvasás 0x%1, %2. sor: „%3”", "memory read 0x%1, line %2: “%3”"},
    {"életjel (fajta %1)", "keep-alive (kind %1)"},
    {"gombok: %1, cím 0x%2, érték 0x%3", "keys: %1, address 0x%2, value 0x%3"},
    {"programozó terminál, gombok: %1", "programming terminal, keys: %1"},
    {"egyéb keret (%1)", "other frame (%1)"},
    {"nincs", "none"},
    {"rendben", "OK"},
    {"nincs STX", "no STX"},
    {"hibás karakter", "bad character"},
    {"hibás hossz", "bad length"},
    {"hibás ellenőrzőösszeg", "bad checksum"},
    {"nincs ETX", "no ETX"},
    {"írás sikertelen", "write failed"},
    {"port megnyitva: %1", "port opened: %1"},
    {"port lezárva: %1", "port closed: %1"},
    {"port elveszett: %1", "port lost: %1"},
    {"port újra megnyitva: %1", "port reopened: %1"},
    {"A rögzítőfájl nem nyitható meg", "The capture file cannot be opened"},
    {"A rögzítés leállt, a fájl nem írható", "Capture stopped: the file cannot be written"},
    {"A szövegfájl nem menthető", "The text file cannot be saved"},
    {"Rögzítés: %1", "Capturing: %1"},
    // The line monitor's explanation of its unanswered count.
    {"A frekvenciaváltó üzenetei, amelyekre a program szándékosan nem válaszol: öt az indítás "
     "után, egy keret nélküli másodperc után, és valahányszor a frekvenciaváltó kijelzője az "
     "oszlopdiagramos képernyőre vált vagy onnan visszavált. Ez a rendes működés része, nem hiba.",
     "Converter messages the program leaves unanswered on purpose: five after the start, after a "
     "second without frames, and whenever the converter's display enters or leaves its bar-graph "
     "screen. This is normal, not a fault."},
    // Network port addresses longer than the settings file gives whole.
    {"A cím túl hosszú (legfeljebb %1 karakter lehet)", "Address too long (at most %1 characters)"},
    {"Ezek a hálózati portok nem használhatók, mert a címük hosszabb %1 karakternél. "
     "A beállítási fájlban változatlanul megmaradnak.",
     "These network ports are not taken: their address is longer than %1 characters. "
     "They stay in the settings file unchanged."},
    {"… és még %1", "… and %1 more"},
    // A network port's open error names the address it tried.
    {"%1\nCím: %2", "%1\nAddress: %2"},
    // Network ports inside TLS.
    {"A kiszolgáló tanúsítványa nem megbízható", "The server's certificate is not trusted"},
    {"A kiszolgáló tanúsítványa más névre szól", "The server's certificate is for another name"},
    {"A kiszolgáló tanúsítványa lejárt vagy még nem érvényes",
     "The server's certificate has expired or is not yet valid"},
    {"A kiszolgáló tanúsítványának ujjlenyomata nem egyezik a címben rögzítettel",
     "The server's certificate does not match the fingerprint in the address"},
    {"A kiszolgáló ügyféltanúsítványt követel, de nem kapott olyat, amelyet elfogad",
     "The server requires a client certificate and was given none that it accepts"},
    {"A TLS-kézfogás nem sikerült", "The TLS handshake failed"},
    {"A kulcsfájlt a csoport vagy mások is olvashatják; a program nem használja (chmod 600)",
     "The key file is readable by group or others; it is not used (chmod 600)"},
    {"A címben megadott tanúsítvány- vagy kulcsfájl nem olvasható vagy nem használható",
     "A certificate or key file of the address cannot be read or used"},
    {"Ismeretlen tanúsítvány", "Unknown certificate"},
    {"Tulajdonos: %1\nKibocsátó: %2\nÉrvényes: %3 – %4\nSHA-256: %5",
     "Subject: %1\nIssuer: %2\nValid: %3 – %4\nSHA-256: %5"},
    {"Ennek a tanúsítványnak a rögzítése ennél a portnál", "Pin this certificate for this port"},
    {"A tanúsítvány rögzítve; az OK menti a címmel együtt",
     "Certificate pinned; OK saves it with the address"},
    // The reason line of a TLS failure in the serial port error dialog, and
    // why a file of a TLS address could not be read.
    {"A hálózati port biztonságos (TLS) kapcsolata nem jött létre: %1",
     "The network port's secure (TLS) connection failed: %1"},
    {"a fájl nem létezik", "the file does not exist"},
    {"nincs jog a fájl olvasásához", "no permission to read the file"},
    {"Automatizálás (D-Bus)", "Automation (D-Bus)"},
    {"Szkript", "Script"},
    {"Az automatizálás nem kapcsolható be: %1", "Automation could not be turned on: %1"},
    {"Nincs jogosultság az USB-adapter eszközfájljához. Telepítse a program "
     "csomagját (udev-szabálya hozzáférést ad a bejelentkezett felhasználónak), "
     "majd húzza ki és dugja vissza az adaptert. A dialout csoport az USB1-hez nem elég.",
     "No permission on the USB adapter's device node. Install the program's package (its udev rule "
     "gives the logged-in user access), then unplug the adapter and plug it in again. The dialout "
     "group is not enough for USB1."},
    {"Recept felvétele…", "Record recipe…"},
    {"Recept lejátszása…", "Play recipe…"},
    {"Recept (*.recipe)", "Recipe (*.recipe)"},
    {"Minden fájl (*)", "All files (*)"},
    {"Felvétel", "Rec."},
    {"Lejátsz.", "Playing"},
    {"A recept hibás, egy billentyű sem lett lenyomva", "The recipe is faulty; no key was pressed"},
    {"A recept végigfutott", "The recipe ran to its end"},
    {"A recept megállt", "The recipe stopped"},

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

QString GetHungarianText(int index) {
  if (!TextTableBuilt) {
    BuildTextTable();
  }
  return LookUpText(TextTable, kLanguageHungarian, index);
}

TLanguage CurrentLanguage() {
  return Current;
}

void SetCurrentLanguage(TLanguage language) {
  Current = language == kLanguageEnglish ? kLanguageEnglish : kLanguageHungarian;
}
