#include "queries/qbe/qbe_definitions.h"

#include <algorithm>
#include <filesystem>

#include "core/common/common_window.h"
#include "core/security/halt.h"
#include "queries/qbe/qbe_options.h"
#include "runtime/classlib/error_manager.h"
#include "runtime/data/errors.h"
#include "runtime/data/view_manager.h"
#include "runtime/ui/display.h"

namespace {

// Each thread keeps its own buffer of the file.
struct Definitions {
    QBEDefinitionRecord record;
    rt::FileManager file{QBEDefinitionsTable(), &record};
};

Definitions& definitions() {
    thread_local Definitions d;
    return d;
}

// Opens the file (made when missing) for the length of one operation.
class Opened {
public:
    Opened() : d_(definitions()), rc_(OpenQBEFile(d_.file)) {}
    ~Opened() {
        if (rc_ == 0) d_.file.close();
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    int rc() const { return rc_; }
    Definitions& d() { return d_; }

private:
    Definitions& d_;
    int rc_;
};

int deleteRecords(rt::FileManager& file, QBEDefinitionRecord& rec, const std::string& name) {
    rt::ViewManager view(file);
    view.setFilter([&rec, name] { return rec.QUERYNAME.clipped() == name; });
    int rc = view.open();
    while (rc == 0 && (rc = view.next()) == 0) rc = file.deleteRecord();
    view.close();
    return rc == 33 ? 0 : rc;
}

}  // namespace

const rt::TableDef& QBEDefinitionsTable() {
    using R = QBEDefinitionRecord;
    using rt::Dup;
    using rt::NoCase;
    static const rt::TableDef def = rt::TableBuilder<R>("QBEFile", "QBE")
                                        .localFile("VOQKivorant.qbs")
                                        .create()
                                        .field(&R::QUERYNAME, "QUERYNAME", "@s255")
                                        .field(&R::FILENAME, "FILENAME", "@s255")
                                        .field(&R::ROWS, "ROWS", "@n-14")
                                        .field(&R::NUMBER, "NUMBER", "@n-14")
                                        .field(&R::NAME, "NAME", "@s255")
                                        .field(&R::HEADER, "HEADER", "@s255")
                                        .field(&R::PICTURE, "PICTURE", "@s49")
                                        .field(&R::JUSTIFY, "JUSTIFY", "@s1")
                                        .field(&R::FILTERTYPE, "FILTERTYPE", "@n3")
                                        .field(&R::FILTERSOURCE, "FILTERSOURCE", "@s255")
                                        .key("QBE:KEYFILENAME", {"FILENAME"}, Dup | NoCase)
                                        .build();
    return def;
}

int OpenQBEFile(rt::FileManager& file) {
    rt::ErrorManager& errors = WindowErrorManager();
    int rc = file.open();
    if (rc == rt::ErrAccessDenied) {  // held by another station: wait for it
        file.send("Recover=10");
        rc = file.open();
    }
    if (rc == 0) return 0;
    const std::string name = file.name();
    std::error_code ec;
    // Only a local file can be missing on disk; a server table's name is no path.
    if (file.def().store == rt::StoreKind::LocalFile && !std::filesystem::exists(name, ec))
        errors.throwMessage(rt::ErrorManager::CreateFailed, name);
    if (rc == rt::ErrInvalidKeyFile && errors.throwMessage(rt::ErrorManager::RebuildKey, name) == rt::button::Yes) {
        if (file.buildKeys() != 0)
            errors.throwMessage(rt::ErrorManager::RebuildFailed, name);
        else
            rc = file.open();
        if (rc == 0) return 0;
    }
    // The file is left as it is: whatever it holds stays for a repair.
    if (errors.throwMessage(rt::ErrorManager::OpenFailed, name) == rt::button::Ok) HaltProgram("Disk Error");
    return rc;
}

std::string QBEDefinitionName(std::string_view name) {
    std::string n(rt::clip(rt::trimBlanks(name)));
    std::replace(n.begin(), n.end(), '\'', '"');
    return n;
}

std::vector<QBEDefinitionEntry> QBEDefinitionList(std::string_view source) {
    std::vector<QBEDefinitionEntry> list;
    Opened o;
    if (o.rc() != 0) return list;
    rt::FileManager& file = o.d().file;
    QBEDefinitionRecord& rec = o.d().record;
    rt::ViewManager view(file);
    std::vector<std::string> seen;
    if (view.open() == 0) {
        while (view.next() == 0) {
            const std::string name(rec.QUERYNAME.clipped());
            if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
            seen.push_back(name);
            const std::string from(rec.FILENAME.clipped());
            if (!source.empty() && from != source) continue;
            const bool known = IsQBESource(from);
            list.push_back({name, known ? from : "File not found", !known});
        }
    }
    view.close();
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.QUERYNAME < b.QUERYNAME; });
    return list;
}

int SaveQBEDefinition(std::string_view name, std::string_view source, int rows, const std::vector<QBEColumn>& columns) {
    Opened o;
    if (o.rc() != 0) return kQBEFileNotOpened;
    rt::FileManager& file = o.d().file;
    QBEDefinitionRecord& rec = o.d().record;
    const std::string stored = QBEDefinitionName(name);
    if (int rc = file.beginTransaction(); rc != 0) return rc;
    int rc = deleteRecords(file, rec, stored);
    for (const auto& col : columns) {
        for (int slot = 1; rc == 0 && slot <= kQBESlots; ++slot) {
            rec = {};
            rec.QUERYNAME = stored;
            rec.FILENAME = std::string(source);
            rec.ROWS = rows;
            rec.NUMBER = static_cast<rt::Long>(col.NUMBER);
            rec.NAME = col.NAME;
            rec.HEADER = col.HEADER;
            rec.PICTURE = col.PICTURE;
            rec.JUSTIFY = col.JUSTIFY;
            rec.FILTERTYPE = static_cast<rt::Byte>(col.FILTERTYPE[static_cast<std::size_t>(slot - 1)]);
            rec.FILTERSOURCE = col.FILTERSOURCE[static_cast<std::size_t>(slot - 1)];
            rc = file.insert();
        }
        if (rc != 0) break;
    }
    if (rc != 0) {
        file.rollback();
        return rc;
    }
    return file.commit();
}

int DeleteQBEDefinition(std::string_view name) {
    Opened o;
    if (o.rc() != 0) return o.rc();
    return deleteRecords(o.d().file, o.d().record, QBEDefinitionName(name));
}

bool LoadQBEDefinition(std::string_view name, long fieldCount, std::vector<QBEColumn>& columns, int& rows,
                       std::string& source) {
    Opened o;
    if (o.rc() != 0) return false;
    rt::FileManager& file = o.d().file;
    QBEDefinitionRecord& rec = o.d().record;
    const std::string wanted = QBEDefinitionName(name);
    rt::ViewManager view(file);
    view.setFilter([&rec, wanted] { return rec.QUERYNAME.clipped() == wanted; });
    if (view.open() != 0) return false;
    std::vector<QBEColumn> loaded;
    bool any = false;
    for (long c = 0; c <= fieldCount; ++c) {
        QBEColumn col;
        int slot = 0;
        while (slot < kQBESlots && view.next() == 0) {
            if (slot == 0) {
                any = true;
                rows = rec.ROWS;
                source = std::string(rec.FILENAME.clipped());
                col.NUMBER = rec.NUMBER;
                col.NAME = rec.NAME.clipped();
                col.HEADER = rec.HEADER.clipped();
                col.PICTURE = rec.PICTURE.clipped();
                col.JUSTIFY = rec.JUSTIFY.clipped();
            }
            col.FILTERTYPE[static_cast<std::size_t>(slot)] = rec.FILTERTYPE;
            col.FILTERSOURCE[static_cast<std::size_t>(slot)] = rec.FILTERSOURCE.clipped();
            ++slot;
        }
        if (slot == 0) break;
        loaded.push_back(std::move(col));
    }
    view.close();
    if (!any) return false;
    columns = std::move(loaded);
    return true;
}
