// A small dictionary of our own for the table layer's tests: an order header with an
// auto-numbered key and a nocase optional name key, its lines (cascade, numbered within the
// header), a log table with a server date-time column, and a keyless carrier.
#pragma once

#include <string>

#include "runtime/data/dictionary.h"
#include "runtime/data/file_manager.h"
#include "runtime/data/relation_manager.h"
#include "runtime/data/table_def.h"
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

inline rt::Shared<std::string> gHeadFile;     // local file name from a global
inline rt::Shared<std::string> gConnect;      // server connect string

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

inline void declareRelations() {
    rt::clearRelations();
    rt::declareRelation({"Head", "Line", "LINE:KeyHead", {{"ID", "ID_HEAD"}}, rt::RelationRule::Cascade,
                         rt::RelationRule::Cascade});
}

}  // namespace fixture
