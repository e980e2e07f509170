#include "runtime/data/errors.h"

namespace rt {

// The runtime's texts are German like the program; those the program's own logic or messages
// name (90, 33, 37, 5) keep their wording.
std::string dataErrorText(int code) {
    switch (code) {
    case 0: return "";
    case 2: return "Datei nicht gefunden";
    case 3: return "Pfad nicht gefunden";
    case 5: return "Access Denied";
    case 30: return "Eintrag nicht gefunden";
    case 33: return "Record Not Available";
    case 35: return "Datensatz nicht gefunden";
    case 37: return "File Not Open";
    case 38: return "Ungültige Schlüsseldatei";
    case 40: return "Doppelter Schlüssel";
    case 46: return "Ungültiger Filter oder ungültige Sortierung";
    case 47: return "Ungültige Satzbeschreibung";
    case 48: return "Abhängige Datensätze vorhanden";
    case 52: return "Datei ist bereits geöffnet";
    case 89: return "Datensatz wurde an einer anderen Station geändert";
    case 90: return "File System Error";
    default: return "Fehler " + std::to_string(code);
    }
}

}  // namespace rt
