// A small dictionary of our own for the table layer's tests: an order header with an
// auto-numbered key and a nocase optional name key, its lines (cascade, numbered within the
// header), a log table with a server date-time column, and a keyless carrier.
#pragma once

#include <string>
#include <string_view>

#include "runtime/data/dictionary.h"
#include "runtime/data/file_manager.h"
#include "runtime/data/relation_manager.h"
#include "runtime/data/table_def.h"
#include "runtime/text/strings.h"
#include "runtime/thread/shared.h"

namespace fixture {

struct HeadRecord {
    rt::Long ID = 0;
    rt::CString<21> Name;
    rt::String<10> Code;
    rt::Byte Activ = 0;
    rt::Short Zeitraum = 0;
    rt::Decimal<5, 1> Betrag;
    rt::Date Datum;
    rt::Memo<2000> Notiz;
};

struct LineRecord {
    rt::Long ID = 0;
    rt::Long ID_HEAD = 0;
    rt::Long PosNr = 0;
    rt::CString<31> Text;
    rt::Blob Daten;
};

struct LogRecord {
    rt::CString<51> Name;
    rt::Long Version = 0;
    rt::Date Updated_Date;
    rt::Time Updated_Time;
};

struct CarrierRecord {
    rt::CString<256> C01;
    rt::CString<256> C02;
    rt::Long C03 = 0;
};

struct NoFields {};

inline rt::Shared<std::string> gHeadFile;  // local file name from a global
inline rt::Shared<std::string> gConnect;   // server connect string

// store: local file (named by gHeadFile) or server table "dbo.HEAD" on gConnect.
inline rt::TableDef makeHead(rt::StoreKind store, bool readOnly = false) {
    using R = HeadRecord;
    rt::TableBuilder<R> b("Head", "HEAD");
    b.readOnly(readOnly);
    if (store == rt::StoreKind::LocalFile)
        b.localFile([] { return gHeadFile.get(); });
    else
        b.server("dbo.HEAD", [] { return gConnect.get(); });
    return b.create()
        .field(&R::ID, "ID", "@n8")
        .field(&R::Name, "Name", "@s20")
        .field(&R::Code, "Code", "@s10")
        .field(&R::Activ, "Activ", "@n1")
        .field(&R::Zeitraum, "Zeitraum", "@n_2")
        .field(&R::Betrag, "Betrag", "@n-6.1")
        .field(&R::Datum, "Datum", "@d17")
        .field(&R::Notiz, "Notiz", "@s255")
        .key("KeyID", {"ID"}, rt::Unique | rt::Primary | rt::NoCase | rt::Opt, "PK_HEADID", 1)
        .key("KeyName", {"Name"}, rt::Unique | rt::NoCase | rt::Opt, "K_HEADNAME")
        .key("KeyCode", {"Code"}, rt::Unique | rt::NoCase, "K_HEADCODE")
        .prime([](R& r) {
            r.Activ = 1;
            r.Zeitraum = 3;
        })
        .build();
}

inline rt::TableDef makeLine(rt::StoreKind store, bool readOnly = false) {
    using R = LineRecord;
    rt::TableBuilder<R> b("Line", "LINE");
    b.readOnly(readOnly);
    if (store == rt::StoreKind::LocalFile)
        b.localFile([] { return gHeadFile.get(); });
    else
        b.server("dbo.LINE", [] { return gConnect.get(); });
    return b.create()
        .field(&R::ID, "ID", "@n8")
        .field(&R::ID_HEAD, "ID_HEAD", "@n8")
        .field(&R::PosNr, "PosNr", "@n4")
        .field(&R::Text, "Text", "@s30")
        .field(&R::Daten, "Daten", "@s20")
        .key("KeyID", {"ID"}, rt::Unique | rt::Primary | rt::NoCase | rt::Opt, "PK_LINEID", 1)
        .key("KeyHead", {"ID_HEAD", "PosNr"}, rt::Dup | rt::NoCase, "K_LINEHEAD")
        .key("KeyPosNr", {"ID_HEAD", "PosNr"}, rt::Unique | rt::NoCase | rt::Opt, "K_LINEPOS", 2, "Kopf und PosNr")
        .build();
}

inline rt::TableDef makeLog(rt::StoreKind store) {
    using R = LogRecord;
    rt::TableBuilder<R> b("UpdateLog", "LOG");
    if (store == rt::StoreKind::LocalFile)
        b.localFile([] { return gHeadFile.get(); });
    else
        b.server("dbo.UPDLOG", [] { return gConnect.get(); });
    return b.create()
        .field(&R::Name, "Name", "@s50")
        .field(&R::Version, "Version", "@n_5")
        .dateTime("Updated", &R::Updated_Date, "Updated_Date", "@d17", &R::Updated_Time, "Updated_Time", "@t7")
        .key("byName", {"Name", "Version"}, rt::Unique | rt::Primary | rt::NoCase)
        .build();
}

inline rt::TableDef makeCarrier() {
    using R = CarrierRecord;
    return rt::TableBuilder<R>("Carrier", "CAR")
        .server("dbo.CARRIER", [] { return gConnect.get(); })
        .field(&R::C01, "C01", "@s255")
        .field(&R::C02, "C02", "@s255")
        .field(&R::C03, "C03", "@n8")
        .build();
}

inline rt::TableDef makeChannel() {
    return rt::TableBuilder<NoFields>("LocalWork", "LW").server("LOCALWOR", [] { return gConnect.get(); }).build();
}

// The tables of one store, each defined once per test program (file managers keep a reference).
template <rt::StoreKind Store>
struct StoreDefs {
    static const rt::TableDef& head() {
        static const rt::TableDef d = makeHead(Store);
        return d;
    }
    static const rt::TableDef& line() {
        static const rt::TableDef d = makeLine(Store);
        return d;
    }
    static const rt::TableDef& log() {
        static const rt::TableDef d = makeLog(Store);
        return d;
    }
};

// A header and its lines on one store, their relation managers finding each other by name
// (declareRelations), and rows added the way a form adds them: primed, then inserted.
template <rt::StoreKind Store>
struct HeadAndLines {
    HeadAndLines() {
        auto find = [this](std::string_view l) -> rt::RelationManager* {
            if (rt::equalsNoCase(l, "Head")) return &headRm;
            if (rt::equalsNoCase(l, "Line")) return &lineRm;
            return nullptr;
        };
        headRm.setLookup(find);
        lineRm.setLookup(find);
    }
    HeadAndLines(const HeadAndLines&) = delete;
    HeadAndLines& operator=(const HeadAndLines&) = delete;

    // A header with the given name and code, numbered by priming.
    int addHead(const std::string& name, const std::string& code) {
        head.clearBuffer();
        H.Name = name;
        H.Code = code;
        int rc = headRm.primeRecord(true);
        return rc ? rc : head.insert();
    }
    int addLine(int headId, const std::string& text) {
        line.clearBuffer();
        L.ID_HEAD = headId;
        L.Text = text;
        int rc = line.primeRecord(true);
        return rc ? rc : line.insert();
    }

    HeadRecord H;
    LineRecord L;
    rt::FileManager head{StoreDefs<Store>::head(), &H};
    rt::FileManager line{StoreDefs<Store>::line(), &L};
    rt::RelationManager headRm{head};
    rt::RelationManager lineRm{line};
};

inline void declareRelations() {
    rt::clearRelations();
    rt::declareRelation(
        {"Head", "Line", "LINE:KeyHead", {{"ID", "ID_HEAD"}}, rt::RelationRule::Cascade, rt::RelationRule::Cascade});
}

}  // namespace fixture
