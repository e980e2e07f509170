// Table declarations: a record layout plus store, physical name, keys, priming and relations.
//
//   struct CubeKopfRecord { rt::Long ID; rt::CString<21> CubeName; rt::Byte Compress; };
//   const rt::TableDef& cubeKopfTable() {
//       using R = CubeKopfRecord;
//       static const rt::TableDef def = rt::TableBuilder<R>("VOQCubeKopf", "CUBK")
//           .server("dbo.VOQCUBEKOPF").create()
//           .field(&R::ID, "ID", "@n8")
//           .field(&R::CubeName, "CubeName", "@s20")
//           .field(&R::Compress, "Compress", "@n3")
//           .key("KeyID", {"ID"}, rt::Unique | rt::Primary | rt::NoCase | rt::Opt, "PK_CUBKID", 1)
//           .key("KeyCubeName", {"CubeName"}, rt::Unique | rt::NoCase | rt::Opt, "K_CUBKNAME")
//           .prime([](R& r) { r.Compress = 1; })
//           .build();
//       return def;
//   }
//
// Local files: .localFile("CROSSTAB") or .localFile([] { return GLO.SCRIPT.get(); }) (read when a
// thread opens the table). Relations, once at start-up:
//   rt::declareRelation({"VOQCubeKopf", "VOQCubeDetail", "CUBD:KeyID_CUBK", {{"ID", "ID_CUBK"}},
//                        rt::RelationRule::Cascade, rt::RelationRule::Cascade});
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/record.h"

namespace rt {

enum class StoreKind { LocalFile, Server };

enum KeyFlag : unsigned {
    Dup = 0,  // duplicates allowed (the default)
    Unique = 1u << 0,
    Primary = 1u << 1,
    NoCase = 1u << 2,  // string components compare without regard to case
    Opt = 1u << 3,     // a record whose components are all empty is left out of the key
};
inline constexpr unsigned operator|(KeyFlag a, KeyFlag b) { return unsigned(a) | unsigned(b); }
inline constexpr unsigned operator|(unsigned a, KeyFlag b) { return a | unsigned(b); }

struct KeyDef {
    std::string name;             // "KeyID"
    std::string label;            // "CUBK:KeyID"
    std::vector<int> components;  // field indices, all ascending
    unsigned flags = 0;
    std::string serverName;   // index or constraint name on the server; may be empty
    int autoComponent = 0;    // 1-based component numbered on insert; 0 none
    std::string description;  // defaults to the label

    bool unique() const { return flags & Unique; }
    bool primary() const { return flags & Primary; }
    bool nocase() const { return flags & NoCase; }
    bool opt() const { return flags & Opt; }
};

// Names the physical file or table at open time (a global such as GLO:SCRIPT).
using NameSource = std::function<std::string()>;

struct TableDef {
    std::string label;  // "VOQCubeKopf"
    StoreKind store = StoreKind::LocalFile;
    std::string physicalName;   // "dbo.VOQCUBEKOPF", "CROSSTAB", "DATEIEN\\GNSETUP.TPS"
    NameSource nameSource;      // when set, the physical name is taken from it when a thread opens
    NameSource connectSource;   // server: the connect string at open (usually GLO:ConnectString)
    std::string driverOptions;  // "/TURBOSQL=TRUE": open without checking the table
    bool createFlag = false;    // create the table or file when opening finds it missing
    bool readOnly = false;      // insert, change and delete through its managers are refused (5)
    bool ownerOnly = false;     // local: a file it creates only its owner may read (it holds secrets)
    RecordDesc record;
    std::vector<KeyDef> keys;
    std::function<void(void* record)> primeValues;  // the table's own priming values

    const std::string& prefix() const { return record.prefix(); }
    // Index of a key by label ("CUBK:KeyID") or name ("KeyID"), case-insensitive; -1 if none.
    int findKey(std::string_view labelOrName) const;
    // The key that identifies a record: the primary key, else the first unique key; -1 if none.
    int identifyingKey() const;
    bool hasAutoKey() const;
};

template <class R>
class TableBuilder {
public:
    TableBuilder(std::string label, std::string prefix) : record_(std::move(prefix)) { def_.label = std::move(label); }

    // Local table file; a name without extension gets ".TPS" when opened.
    TableBuilder& localFile(std::string fileName) {
        def_.store = StoreKind::LocalFile;
        def_.physicalName = std::move(fileName);
        return *this;
    }
    // Local table file named by a global at open time.
    TableBuilder& localFile(NameSource source) {
        def_.store = StoreKind::LocalFile;
        def_.nameSource = std::move(source);
        return *this;
    }
    // Server table over ODBC; the connect string is asked for at open unless a manager is given
    // one (FileManager::setConnectString).
    TableBuilder& server(std::string tableName, NameSource connect = {}) {
        def_.store = StoreKind::Server;
        def_.physicalName = std::move(tableName);
        def_.connectSource = std::move(connect);
        return *this;
    }
    TableBuilder& driverOptions(std::string options) {
        def_.driverOptions = std::move(options);
        return *this;
    }
    TableBuilder& create(bool on = true) {
        def_.createFlag = on;
        return *this;
    }
    // Read only: every insert, change and delete through the table's managers gives 5 (access
    // denied) at once, before the store is asked.
    TableBuilder& readOnly(bool on = true) {
        def_.readOnly = on;
        return *this;
    }
    // A local file that holds passwords: created readable and writable by its owner only.
    TableBuilder& ownerOnly(bool on = true) {
        def_.ownerOnly = on;
        return *this;
    }

    template <class T>
    TableBuilder& field(T R::*member, std::string name, std::string picture = {}, std::string column = {}) {
        record_.field(member, std::move(name), std::move(picture), std::move(column));
        return *this;
    }
    TableBuilder& dateTime(std::string name, Date R::*date, std::string dateName, std::string datePicture,
                           Time R::*time, std::string timeName, std::string timePicture) {
        record_.dateTime(std::move(name), date, std::move(dateName), std::move(datePicture), time, std::move(timeName),
                         std::move(timePicture));
        return *this;
    }

    // A key over the named fields (names without prefix). autoComponent is 1-based.
    // The label's prefix may be spelt differently from the field prefix ("ProK:VOQProK_ID"): give
    // the full label as name then.
    TableBuilder& key(std::string name, std::initializer_list<std::string_view> components, unsigned flags,
                      std::string serverName = {}, int autoComponent = 0, std::string description = {}) {
        KeyDef k;
        auto colon = name.find(':');
        if (colon == std::string::npos) {
            k.label = record_.desc().prefix() + ":" + name;
            k.name = std::move(name);
        } else {
            k.label = name;
            k.name = name.substr(colon + 1);
        }
        for (auto c : components) {
            int idx = record_.desc().find(c);
            assert(idx >= 0 && "key component is not a field of the table");
            k.components.push_back(idx);
        }
        k.flags = flags;
        k.serverName = std::move(serverName);
        assert(autoComponent >= 0 && autoComponent <= int(k.components.size()));
        k.autoComponent = autoComponent;
        k.description = description.empty() ? k.label : std::move(description);
        def_.keys.push_back(std::move(k));
        return *this;
    }

    TableBuilder& prime(std::function<void(R&)> values) {
        def_.primeValues = [values = std::move(values)](void* r) { values(*static_cast<R*>(r)); };
        return *this;
    }

    TableDef build() {
        def_.record = record_.build();
        return def_;
    }

private:
    TableDef def_;
    RecordBuilder<R> record_;
};

// ---- Relations -------------------------------------------------------------------------------

enum class RelationRule { Nothing, Cascade, Restrict, Clear };

struct RelationDef {
    std::string parent;    // table label
    std::string child;     // table label
    std::string childKey;  // key of the child over the link fields ("CUBD:KeyID_CUBK")
    std::vector<std::pair<std::string, std::string>> links;  // (parent field, child field) names
    RelationRule onUpdate = RelationRule::Nothing;
    RelationRule onDelete = RelationRule::Nothing;
};

// Process-wide list of relations, declared once at start-up before threads use them.
void declareRelation(RelationDef relation);
std::vector<RelationDef> relationsOf(std::string_view tableLabel);  // as parent or as child
void clearRelations();                                              // for tests

}  // namespace rt
