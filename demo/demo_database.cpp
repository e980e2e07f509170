#include "demo/demo_database.h"

#include <sqlite3.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fmt/core.h>
#include <random>
#include <vector>

#include "runtime/text/date_time.h"

namespace demo {

namespace {

struct Db {
    sqlite3* h = nullptr;
    std::string error;
    ~Db() {
        if (h) sqlite3_close(h);
    }
    bool exec(const std::string& sql) {
        char* msg = nullptr;
        if (sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
            error = fmt::format("{} ({})", msg ? msg : "sqlite error", sql.substr(0, 60));
            sqlite3_free(msg);
            return false;
        }
        return true;
    }
};

const std::array<const char*, 5> kPlattformen = {"Ladengeschäft", "Onlineshop", "Marktplatz", "Telefonverkauf",
                                                 "Außendienst"};
const std::array<const char*, 4> kShops = {"Zentrale Köln", "Filiale München", "Filiale Hamburg", "Webshop"};
const std::array<const char*, 8> kBenutzer = {"Admin",         "Müller, Anna",   "Schmidt, Jörg", "Weber, Katrin",
                                              "Fischer, Lars", "Becker, Sabine", "Hoffmann, Uwe", "Schäfer, Petra"};

struct Gruppe {
    const char* name;
    std::array<const char*, 6> artikel;
    double preisVon, preisBis;
};
const std::array<Gruppe, 7> kGruppen = {{
    {"Bürobedarf",
     {"Ordner A4 breit", "Kugelschreiber blau", "Haftnotizen gelb", "Locher Metall", "Heftgerät groß",
      "Briefumschläge C4"},
     1.5,
     19.9},
    {"Papier",
     {"Kopierpapier 80 g", "Fotopapier glänzend", "Etiketten 70x36", "Karteikarten A6", "Zeichenblock A3",
      "Endlospapier"},
     3.9,
     39.0},
    {"Druckerzubehör",
     {"Toner schwarz", "Tinte cyan", "Tinte magenta", "Tinte gelb", "Trommeleinheit", "Druckkopf-Reiniger"},
     12.0,
     149.0},
    {"Möbel",
     {"Bürostuhl Comfort", "Schreibtisch 160 cm", "Rollcontainer", "Aktenschrank", "Besprechungstisch", "Stehpult"},
     89.0,
     899.0},
    {"Elektronik",
     {"USB-Stick 64 GB", "Tastatur kabellos", "Maus optisch", "Monitor 27 Zoll", "Headset Stereo", "Dockingstation"},
     9.9,
     399.0},
    {"Verpackung",
     {"Versandkarton S", "Versandkarton L", "Luftpolsterfolie", "Packband braun", "Füllmaterial", "Versandtaschen"},
     0.9,
     29.0},
    {"Reinigung",
     {"Bildschirmreiniger", "Mikrofasertücher", "Handseife", "Papierhandtücher", "Desinfektionsspray",
      "Müllbeutel 60 l"},
     2.5,
     24.0},
}};

const std::array<const char*, 12> kOrte = {"Köln",     "Düsseldorf", "Essen",  "Bonn",     "Münster", "Aachen",
                                           "Dortmund", "Bielefeld",  "Kassel", "Würzburg", "Lübeck",  "Göttingen"};
const std::array<const char*, 12> kNamen = {"Becker",     "Krüger", "Lehmann",  "Schröder", "Neumann", "Schwarz",
                                            "Zimmermann", "Braun",  "Hartmann", "Wolf",     "Schulz",  "Köhler"};
const std::array<const char*, 6> kFormen = {"GmbH", "KG", "e.K.", "GmbH & Co. KG", "AG", "OHG"};
const std::array<const char*, 6> kBranchen = {"Bürotechnik", "Handel", "Logistik", "Praxis", "Kanzlei", "Werkstatt"};

// Months weigh differently: a quiet summer, a strong autumn and December.
const std::array<double, 12> kMonatsGewicht = {0.9, 0.85, 1.0, 0.95, 0.95, 0.8, 0.7, 0.75, 1.05, 1.15, 1.25, 1.3};

}  // namespace

std::string writeDemoDatabase(const std::string& file, const DemoOptions& options) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    Db db;
    if (sqlite3_open(file.c_str(), &db.h) != SQLITE_OK) return "cannot create " + file;
    std::mt19937 rng(options.seed);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };

    if (!db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
                 "CREATE TABLE tversion (cVersion VARCHAR(20));"
                 "INSERT INTO tversion VALUES ('1.0.0.0');"
                 "CREATE TABLE tPlattform (kPlattform INTEGER PRIMARY KEY, cName VARCHAR(50));"
                 "CREATE TABLE tShop (kShop INTEGER PRIMARY KEY, cName VARCHAR(50));"
                 "CREATE TABLE tWarengruppe (kWarengruppe INTEGER PRIMARY KEY, cName VARCHAR(50));"
                 "CREATE TABLE tBenutzer (kBenutzer INTEGER PRIMARY KEY, cName VARCHAR(50));"
                 "CREATE TABLE tKunde (kKunde INTEGER PRIMARY KEY, cFirma VARCHAR(80), cOrt VARCHAR(40));"
                 "CREATE TABLE tArtikel (kArtikel INTEGER PRIMARY KEY, cName VARCHAR(80),"
                 " kWarengruppe INTEGER, fVKNetto DECIMAL(12,2), fEKNetto DECIMAL(12,2));"
                 "CREATE TABLE tUmsatzPos (kUmsatzPos INTEGER PRIMARY KEY, kAuftrag INTEGER,"
                 " dDatum DATE, kKunde INTEGER, kArtikel INTEGER, kPlattform INTEGER, kShop INTEGER,"
                 " kBenutzer INTEGER, fMenge DECIMAL(12,2), fUmsatz DECIMAL(14,2), fKosten DECIMAL(14,2));"))
        return db.error;

    auto insertNames = [&](const char* table, auto const& names) {
        for (size_t i = 0; i < names.size(); ++i) {
            char* q = sqlite3_mprintf("INSERT INTO %s VALUES (%d, %Q)", table, int(i + 1), names[i]);
            bool ok = db.exec(q);
            sqlite3_free(q);
            if (!ok) return false;
        }
        return true;
    };
    std::vector<const char*> gruppenNamen;
    for (auto& g : kGruppen) gruppenNamen.push_back(g.name);
    if (!insertNames("tPlattform", kPlattformen) || !insertNames("tShop", kShops) ||
        !insertNames("tWarengruppe", gruppenNamen) || !insertNames("tBenutzer", kBenutzer))
        return db.error;

    // Customers: a fixed number of firms with a weight so that a few buy much.
    const int kunden = 480;
    std::vector<double> kundenGewicht;
    for (int k = 1; k <= kunden; ++k) {
        std::string firma = fmt::format("{} {} {}", kNamen[pick(kNamen.size())], kBranchen[pick(kBranchen.size())],
                                        kFormen[pick(kFormen.size())]);
        char* q =
            sqlite3_mprintf("INSERT INTO tKunde VALUES (%d, %Q, %Q)", k, firma.c_str(), kOrte[pick(kOrte.size())]);
        bool ok = db.exec(q);
        sqlite3_free(q);
        if (!ok) return db.error;
        kundenGewicht.push_back(std::pow(uniform(0.05, 1.0), 3.0));
    }
    struct Artikel {
        int gruppe;
        double vk, ek;
    };
    std::vector<Artikel> artikel;
    for (size_t g = 0; g < kGruppen.size(); ++g) {
        for (auto* name : kGruppen[g].artikel) {
            double vk = std::round(uniform(kGruppen[g].preisVon, kGruppen[g].preisBis) * 100) / 100;
            double ek = std::round(vk * uniform(0.52, 0.78) * 100) / 100;
            artikel.push_back({int(g + 1), vk, ek});
            char* q = sqlite3_mprintf("INSERT INTO tArtikel VALUES (%d, %Q, %d, %.2f, %.2f)", int(artikel.size()), name,
                                      int(g + 1), vk, ek);
            bool ok = db.exec(q);
            sqlite3_free(q);
            if (!ok) return db.error;
        }
    }

    std::discrete_distribution<int> kundeDist(kundenGewicht.begin(), kundenGewicht.end());
    std::discrete_distribution<int> plattformDist({30, 40, 15, 10, 5});
    std::discrete_distribution<int> shopDist({35, 20, 15, 30});
    std::vector<double> tagGewicht;  // 2023-01-01 .. 2026-11-30, growing over the years
    struct Tag {
        int y, m, d;
    };
    std::vector<Tag> tage;
    for (int y = 2023; y <= 2026; ++y)
        for (int m = 1; m <= 12; ++m) {
            if (y == 2026 && m == 12) break;
            for (int d = 1; d <= rt::daysInMonth(y, m); ++d) {
                tage.push_back({y, m, d});
                tagGewicht.push_back(kMonatsGewicht[m - 1] * (1.0 + 0.08 * (y - 2023)));
            }
        }
    std::discrete_distribution<int> tagDist(tagGewicht.begin(), tagGewicht.end());

    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db.h, "INSERT INTO tUmsatzPos VALUES (?,?,?,?,?,?,?,?,?,?,?)", -1, &ins, nullptr);
    long auftrag = 100000, pos = 0;
    while (pos < options.salesLines) {
        ++auftrag;
        const Tag& t = tage[tagDist(rng)];
        int kunde = kundeDist(rng) + 1, plattform = plattformDist(rng) + 1, shop = shopDist(rng) + 1;
        int benutzer = pick(kBenutzer.size()) + 1;
        std::string datum = fmt::format("{:04}-{:02}-{:02}", t.y, t.m, t.d);
        int zeilen = 1 + pick(6);
        const int erster = pick(int(artikel.size()));
        for (int z = 0; z < zeilen && pos < options.salesLines; ++z) {
            const int a = (erster + z * 7) % int(artikel.size());  // no article twice per order
            const Artikel& art = artikel[a];
            double menge = art.vk > 80 ? 1 + pick(3) : 1 + pick(25);
            double rabatt = pick(10) == 0 ? uniform(0.03, 0.15) : 0.0;
            double umsatz = std::round(menge * art.vk * (1 - rabatt) * 100) / 100;
            double kosten = std::round(menge * art.ek * 100) / 100;
            ++pos;
            sqlite3_bind_int64(ins, 1, pos);
            sqlite3_bind_int64(ins, 2, auftrag);
            sqlite3_bind_text(ins, 3, datum.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(ins, 4, kunde);
            sqlite3_bind_int(ins, 5, a + 1);
            sqlite3_bind_int(ins, 6, plattform);
            sqlite3_bind_int(ins, 7, shop);
            sqlite3_bind_int(ins, 8, benutzer);
            sqlite3_bind_double(ins, 9, menge);
            sqlite3_bind_double(ins, 10, umsatz);
            sqlite3_bind_double(ins, 11, kosten);
            if (sqlite3_step(ins) != SQLITE_DONE) {
                sqlite3_finalize(ins);
                return sqlite3_errmsg(db.h);
            }
            sqlite3_reset(ins);
        }
    }
    sqlite3_finalize(ins);

    if (!db.exec("CREATE VIEW vDemoUmsatz AS SELECT p.kUmsatzPos, p.kAuftrag, p.dDatum,"
                 " CAST(substr(p.dDatum,1,4) AS INTEGER) AS nJahr,"
                 " CAST(substr(p.dDatum,6,2) AS INTEGER) AS nMonat,"
                 " k.cFirma AS cKunde, k.cOrt AS cOrt, a.cName AS cArtikel, w.cName AS cWarengruppe,"
                 " pl.cName AS cPlattform, s.cName AS cShop, b.cName AS cMitarbeiter,"
                 " p.fMenge, p.fUmsatz, p.fKosten, p.fUmsatz - p.fKosten AS fDeckungsbeitrag"
                 " FROM tUmsatzPos p JOIN tKunde k ON k.kKunde = p.kKunde"
                 " JOIN tArtikel a ON a.kArtikel = p.kArtikel"
                 " JOIN tWarengruppe w ON w.kWarengruppe = a.kWarengruppe"
                 " JOIN tPlattform pl ON pl.kPlattform = p.kPlattform"
                 " JOIN tShop s ON s.kShop = p.kShop JOIN tBenutzer b ON b.kBenutzer = p.kBenutzer;"
                 "CREATE INDEX ixUmsatzDatum ON tUmsatzPos (dDatum);"
                 // What the SQL object updater logged when it installed the demo's view.
                 "CREATE TABLE VOQDBUpdateLog (DBU_TableName VARCHAR(50) NOT NULL, DBU_Version INTEGER NOT NULL,"
                 " DBU_Type VARCHAR(30) NOT NULL, DBU_Updated DATETIME NOT NULL, DBU_Statement TEXT NOT NULL,"
                 " PRIMARY KEY (DBU_TableName, DBU_Version));"
                 "INSERT INTO VOQDBUpdateLog VALUES"
                 " ('vDemoUmsatz', 1, 'View', '2026-01-12 09:30:00', 'CREATE VIEW vDemoUmsatz AS SELECT 1'),"
                 " ('vDemoUmsatz', 2, 'View', '2026-03-02 14:05:00', 'CREATE VIEW vDemoUmsatz AS SELECT 2'),"
                 " ('Update Log', 1, '6F9619FF-8B86-D011-B42D-00C04FC9', '2026-03-02 14:05:01',"
                 " '[]Updated version from 1 to 2|vDemoUmsatz|1|2|OK');"
                 "COMMIT;"))
        return db.error;
    return {};
}

}  // namespace demo
