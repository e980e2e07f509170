// Insert and ordered read of 100,000 records through FileManager, on a local table file and on
// a server table over the SQLite ODBC driver, against the same work done with sqlite3 directly
// (same journal and sync settings). Prints the times and the ratios; target: within 2x.
// The nocase order on the SQLite ODBC back end folds the German letters in SQL (SQLite's
// UPPER folds ASCII only), which the direct run's built-in NOCASE collation does not do.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "runtime/data/file_manager.h"

namespace {

constexpr int kRecords = 100000;

struct Rec {
    rt::Long ID = 0;
    rt::CString<31> Name;
    rt::Long Menge = 0;
    rt::Decimal<9, 2> Preis;
};

std::string gConnect;

rt::TableDef makeDef(bool server, const std::string& file) {
    rt::TableBuilder<Rec> b("Bench", "BEN");
    if (server) b.server("BENCH", [] { return gConnect; });
    else b.localFile(file);
    return b.create()
        .field(&Rec::ID, "ID")
        .field(&Rec::Name, "Name")
        .field(&Rec::Menge, "Menge")
        .field(&Rec::Preis, "Preis")
        .key("KeyID", {"ID"}, rt::Unique | rt::Primary)
        .key("KeyName", {"Name"}, rt::Dup | rt::NoCase)
        .build();
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string nameOf(int i) { return "Name " + std::to_string((i * 7919) % kRecords); }

struct Figures {
    double insert = 0, read = 0, readNocase = 0;
};

Figures viaFileManager(bool server, const std::string& file) {
    rt::TableDef def = makeDef(server, file);
    Rec r;
    rt::FileManager fm(def, &r);
    if (fm.open() != 0) {
        std::fprintf(stderr, "open failed: %s %s\n", rt::dataErrorText(fm.lastError()).c_str(), file.c_str());
        std::exit(1);
    }
    Figures f;
    auto t = std::chrono::steady_clock::now();
    for (int i = 1; i <= kRecords; ++i) {
        r.ID = i;
        r.Name = nameOf(i);
        r.Menge = i % 100;
        r.Preis = rt::DecimalValue::fromUnits(i, 2);
        if (fm.insert() != 0) {
            std::fprintf(stderr, "insert failed at %d\n", i);
            std::exit(1);
        }
    }
    f.insert = seconds(t);
    for (int pass = 0; pass < 2; ++pass) {
        t = std::chrono::steady_clock::now();
        long long n = 0, sum = 0;
        fm.setOrder(pass == 0 ? "BEN:KeyID" : "BEN:KeyName");
        while (fm.next() == 0) {
            ++n;
            sum += r.Menge;
        }
        (pass == 0 ? f.read : f.readNocase) = seconds(t);
        if (n != kRecords) std::fprintf(stderr, "read %lld records\n", n);
    }
    fm.close();
    return f;
}

Figures direct(const std::string& file, const char* journal, const char* sync, bool nocaseCollation) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, (std::string("PRAGMA journal_mode=") + journal).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, (std::string("PRAGMA synchronous=") + sync).c_str(), nullptr, nullptr, nullptr);
    if (nocaseCollation)
        sqlite3_create_collation(db, "FOLD", SQLITE_UTF8, nullptr, [](void*, int la, const void* a, int lb, const void* b) {
            return rt::compareNoCase(std::string_view(static_cast<const char*>(a), std::size_t(la)),
                                     std::string_view(static_cast<const char*>(b), std::size_t(lb)));
        });
    const char* coll = nocaseCollation ? "FOLD" : "NOCASE";
    sqlite3_exec(db, "CREATE TABLE b (ID INTEGER, Name TEXT, Menge INTEGER, Preis INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE UNIQUE INDEX b_id ON b (ID)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, (std::string("CREATE INDEX b_name ON b (Name COLLATE ") + coll + ")").c_str(), nullptr, nullptr,
                 nullptr);
    Figures f;
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO b (ID, Name, Menge, Preis) VALUES (?, ?, ?, ?)", -1, &ins, nullptr);
    auto t = std::chrono::steady_clock::now();
    for (int i = 1; i <= kRecords; ++i) {
        std::string name = nameOf(i);
        sqlite3_bind_int(ins, 1, i);
        sqlite3_bind_text(ins, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 3, i % 100);
        sqlite3_bind_int(ins, 4, i);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    f.insert = seconds(t);
    sqlite3_finalize(ins);
    for (int pass = 0; pass < 2; ++pass) {
        sqlite3_stmt* sel = nullptr;
        std::string order = pass == 0 ? std::string("ID") : std::string("Name COLLATE ") + coll;
        sqlite3_prepare_v2(db, ("SELECT ID, Name, Menge, Preis FROM b ORDER BY " + order).c_str(), -1, &sel, nullptr);
        t = std::chrono::steady_clock::now();
        long long n = 0, sum = 0;
        Rec r;  // the same work: every column into a record
        while (sqlite3_step(sel) == SQLITE_ROW) {
            ++n;
            r.ID = sqlite3_column_int(sel, 0);
            r.Name = reinterpret_cast<const char*>(sqlite3_column_text(sel, 1));
            r.Menge = sqlite3_column_int(sel, 2);
            r.Preis = rt::DecimalValue::fromUnits(sqlite3_column_int64(sel, 3), 2);
            sum += r.Menge;
        }
        (pass == 0 ? f.read : f.readNocase) = seconds(t);
        sqlite3_finalize(sel);
    }
    sqlite3_close(db);
    return f;
}

void report(const char* what, const Figures& ours, const Figures& base) {
    std::printf("%s\n", what);
    std::printf("  insert                 %7.3f s   sqlite3 %7.3f s   ratio %.2f\n", ours.insert, base.insert,
                ours.insert / base.insert);
    std::printf("  read in number order   %7.3f s   sqlite3 %7.3f s   ratio %.2f\n", ours.read, base.read,
                ours.read / base.read);
    std::printf("  read in nocase order   %7.3f s   sqlite3 %7.3f s   ratio %.2f\n", ours.readNocase,
                base.readNocase, ours.readNocase / base.readNocase);
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("voq_bench_data_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("%d records, one transaction per insert; reads in key order\n", kRecords);

    auto local = viaFileManager(false, (dir / "LOCAL.TPS").string());
    auto localBase = direct((dir / "direct_local.db").string(), "WAL", "NORMAL", true);
    report("FileManager, local file", local, localBase);

    std::string odbcFile = (dir / "server.db").string();
    gConnect = "DRIVER=SQLite3;Database=" + odbcFile + ";JournalMode=WAL;SyncPragma=NORMAL";
    auto server = viaFileManager(true, {});
    auto serverBase = direct((dir / "direct_server.db").string(), "WAL", "NORMAL", false);
    report("FileManager, SQLite ODBC", server, serverBase);

    fs::remove_all(dir);
    return 0;
}
