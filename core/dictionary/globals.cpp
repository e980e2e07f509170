#include "core/dictionary/globals.h"

Globals GLO;

rt::Shared<rt::String<1000>> QueryString;
rt::Shared<rt::String<60>> QueryDescription;
rt::Shared<std::array<rt::String<50>, 6>> QBEFieldList;
rt::Shared<rt::Long> QBEFieldCount;
rt::Shared<rt::CString<69>> QBEQueryFilter;
rt::Shared<rt::CString<75>> QBESearchFilter;

namespace {
template <class T>
void blank(rt::Shared<T>& value) {
    value.set(T{});
}
}  // namespace

void resetGlobals() {
    blank(GLO.Excelpfad);
    blank(GLO.ForceUpdate);
    blank(GLO.SQL_QBE);
    blank(GLO.ConnectGlobal);
    blank(GLO.SCRIPT);
    blank(GLO.ImportFile);
    blank(GLO.RunMode);
    blank(GLO.INFO);
    blank(GLO.FrameTitle);
    blank(GLO.ProgramFile);
    blank(GLO.IniFile);
    blank(GLO.StartParameter);
    blank(GLO.ConnectString);
    blank(GLO.Server);
    blank(GLO.Database);
    blank(GLO.MANDANTENNAME);
    blank(GLO.DbUser);
    blank(GLO.DbPassword);
    blank(GLO.STARTCOCKPIT);
    blank(GLO.Trace);
    blank(GLO.DIAGNOSE);
    blank(GLO.PRINTMEMO);
    blank(GLO.LoginUser);
    blank(GLO.SecureUserId);
    blank(GLO.UserName);
    blank(GLO.LockTime);
    blank(GLO.LastActivity);
    blank(QueryString);
    blank(QueryDescription);
    blank(QBEFieldList);
    blank(QBEFieldCount);
    blank(QBEQueryFilter);
    blank(QBESearchFilter);
}
