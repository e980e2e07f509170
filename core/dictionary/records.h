// Record layouts of the 25 dictionary tables. Each struct is one table's record buffer; the
// field members carry the names of the fields without their prefix (CUBK:CubeName is
// VOQCubeKopfRecord::CubeName, reached as CUBK.CubeName on the calling thread).
#pragma once

#include "runtime/data/record.h"
#include "runtime/text/decimal.h"
#include "runtime/text/strings.h"

// ---- Server tables -------------------------------------------------------------------------

struct VOQCubeGruppeRecord {
    rt::Long ID = 0;
    rt::CString<31> GruppenName;
    rt::CString<101> Beschreibung;
    rt::Byte Activ = 0;
};

struct VOQCubeKopfRecord {
    rt::Long ID = 0;
    rt::Long ID_CUBG = 0;
    rt::CString<21> CubeName;
    rt::Byte Activ = 0;
    rt::CString<101> Beschreibung;
    rt::CString<256> Connect;
    rt::CString<21> Zugriff;
    rt::CString<251> Query;
    rt::CString<251> QueryParameter;
    rt::Byte Patch = 0;
    rt::CString<51> TabName;
    rt::Byte Intern = 0;
    rt::CString<8000> BigQuery;
    rt::CString<51> ParameterName;
    rt::Byte Compress = 0;
    rt::Short Zeitraum = 0;
    rt::CString<512> BerechtigterUser;
};

struct VOQCubeDetailRecord {
    rt::Long ID = 0;
    rt::Long ID_CUBK = 0;
    rt::Long PosNr = 0;
    rt::CString<101> FeldName;
    rt::CString<101> Feldname1;
    rt::CString<101> CubeFeldName;
    rt::CString<21> Picture;
    rt::CString<11> Aggregat;
    rt::CString<11> Gruppe;
    rt::Byte Gruppierung = 0;
};

struct VOQGNEquatesRecord {
    rt::Long ID = 0;
    rt::CString<11> FILTER;
    rt::Short Wert = 0;
    rt::CString<21> Bezeichnung;
};

struct VOQProvKeyRecord {
    rt::Long ID = 0;
    rt::CString<41> Mitarbeiter;
    rt::CString<41> Plattform;
    rt::CString<41> Shop;
    rt::CString<41> Warengruppe;
    rt::CString<121> PROVISIONSKEY;
    rt::Decimal<5, 1> Provision;
};

struct VOQQBEQUERYRecord {
    rt::Long ID = 0;
    rt::CString<61> DESCRIPTION;
    rt::CString<31> GRUPPE;
    rt::CString<1001> QUERY;
};

struct VOQQBESEARCHRecord {
    rt::Long ID = 0;
    rt::CString<36> SearchField;
    rt::CString<36> FieldMask;
};

struct VOQSQLTBLRecord {
    rt::CString<256> f1;
    rt::CString<256> f2;
    rt::CString<256> f3;
};

struct ACQTBLRecord {
    rt::CString<256> C01, C02, C03, C04, C05, C06, C07, C08, C09, C10, C11, C12;
    rt::CString<256> C13, C14, C15, C16, C17, C18, C19, C20, C21, C22, C23, C24;
};

// DBU_Updated is one server date-time column; the record lays the date and the time over it.
struct VOQDBUpdateLogRecord {
    rt::CString<51> DBU_TableName;
    rt::Long DBU_Version = 0;
    rt::CString<31> DBU_Type;
    rt::Date DBU_Updated_Date;
    rt::Time DBU_Updated_Time;
};

struct tversionRecord {
    rt::CString<9> cVersion;
};

struct SQLFileRecord {
    rt::String<255> F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12, F13, F14, F15;
};

struct QueryFileRecord {
    rt::String<255> F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12, F13, F14, F15;
};

// ---- Local table files ---------------------------------------------------------------------

struct CrossTabRecord {
    rt::Long ID = 0;
    rt::String<100> Title;
    rt::CString<101> RowValue;
    rt::String<100> ColValue;
    rt::String<100> Aggregate;
    rt::String<100> FromExpression;
};

struct MandantRecord {
    rt::Long ID = 0;
    rt::CString<41> Mandant;
    rt::CString<61> Driver;
    rt::CString<61> Server;
    rt::CString<61> Datenbank;
    rt::CString<41> Name;
    rt::CString<41> Passwort;
    rt::Byte Regional = 0;
    rt::Byte Trusted = 0;
    rt::Byte Inaktiv = 0;
};

struct SQLQuerriesRecord {
    rt::Long ID = 0;
    rt::String<20> FileName;
    rt::Date Datum;
    rt::String<20> Name;
    rt::String<60> DESCRIPTION;
    rt::String<1000> QUERY;
    rt::CString<101> HeadLine;
};

struct SKRIPTRecord {
    rt::Long ID = 0;
    rt::Long SETUPID = 0;
    rt::Long VERSION = 0;
    rt::Long FINALIZEDVERSION = 0;
    rt::String<20> TYPE;
    rt::Long ORDERTOEXECUTE = 0;
    rt::String<60> NAME;
    rt::String<1000> DESCRIPTION;
    rt::String<60> ADDNAME;
    rt::Long ADDEDDATE = 0;
    rt::Long ADDEDTIME = 0;
    rt::String<60> UPDATENAME;
    rt::Long UPDATEDDATE = 0;
    rt::Long UPDATEDTIME = 0;
    rt::Blob SCRIPT;
};

struct ScripteRecord {
    rt::Long ID = 0;
    rt::CString<21> Bezeichnung;
    rt::CString<41> Beschreibung;
    rt::CString<31> Tabelle;
    rt::Memo<64000> Script;
};

struct ImpFile01Record {
    rt::String<1> Feld1;
    rt::String<20> Feld2;
    rt::String<100> Feld3, Feld4, Feld5, Feld6, Feld7;
    rt::String<50> Feld8;
    rt::String<100> Feld9, Feld10;
    rt::String<8000> Feld11;
    rt::String<35> Feld12;
    rt::String<50> Feld13;
    rt::String<1> Feld14, Feld15, Feld16;
    rt::String<20> Feld17;
};

// The first eleven fields of ImpFile01.
struct ImpFile01_OLDRecord {
    rt::String<1> Feld1;
    rt::String<20> Feld2;
    rt::String<100> Feld3, Feld4, Feld5, Feld6, Feld7;
    rt::String<50> Feld8;
    rt::String<100> Feld9, Feld10;
    rt::String<8000> Feld11;
};

// The first ten fields of ImpFile01.
struct ImpFileRecord {
    rt::String<1> Feld1;
    rt::String<20> Feld2;
    rt::String<100> Feld3, Feld4, Feld5, Feld6, Feld7;
    rt::String<50> Feld8;
    rt::String<100> Feld9, Feld10;
};

struct MandantOLDRecord {
    rt::Long ID = 0;
    rt::CString<41> Mandant;
    rt::CString<41> Server;
    rt::CString<41> Datenbank;
    rt::CString<41> Name;
    rt::CString<41> Passwort;
};

struct QuerriesTPSRecord {
    rt::String<60> DESCRIPTION;
    rt::String<1000> QUERY;
};

struct SearchTPSRecord {
    rt::String<35> SearchField;
    rt::String<35> FieldMask;
};

// Data source, driver and the three component files of the engine set-up.
struct SetupRecord {
    rt::Long ID = 0;
    rt::CString<51> ODBCDSN;
    rt::CString<51> ODBCTPSTreiber;
    rt::CString<51> NovaDLL;
    rt::CString<51> NovaODBC;
    rt::CString<51> NovaOCX;
};
