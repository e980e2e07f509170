// RelationManager: a table with the relations of the dictionary (process-wide list, see
// declareRelation). Opens the related tables with its own, and runs the cascades of its
// relations when a record is changed or deleted, inside one transaction per store.
//
//   rt::RelationManager& rm = *rt::relationManager("VOQCubeKopf");
//   rm.open();                 // VOQCubeKopf and its related tables
//   rm.file().fetch("CUBK:KeyID");
//   rm.deleteRecord();         // deletes the header and, by cascade, its cube fields
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "runtime/data/file_manager.h"

namespace rt {

class RelationManager {
public:
    explicit RelationManager(FileManager& file);
    RelationManager(const RelationManager&) = delete;
    RelationManager& operator=(const RelationManager&) = delete;

    FileManager& file() const { return file_; }
    const std::string& label() const { return file_.label(); }

    // Finds the relation manager of a related table (default: the thread's dictionary).
    void setLookup(std::function<RelationManager*(std::string_view label)> lookup) { lookup_ = std::move(lookup); }

    // Opens (closes) the table, and with withRelated its related tables and theirs: the whole
    // chain. A close with related undoes the latest open with related (opens are counted) and
    // leaves what others opened.
    int open(bool withRelated = true, OpenMode mode = OpenMode::ReadWrite);
    int close(bool withRelated = true);

    int insert() { return file_.insert(); }
    // Changes the record; a changed link field is carried into the children of cascading
    // relations; a restricting relation with children refuses the change.
    int update();
    // Deletes the record; children of cascading relations are deleted first, all in one
    // transaction per store; a restricting relation with children refuses the delete.
    int deleteRecord();
    // Primes a new record (see FileManager::primeRecord).
    int primeRecord(bool keepBuffer = false) { return file_.primeRecord(keepBuffer); }
    // A cancelled insert: deletes the record primeRecord() reserved, with its cascade.
    int cancelReserved();

    // The relations this table takes part in (as parent or child).
    const std::vector<RelationDef>& relations();

private:
    int cascadeDelete(const void* parentRecord);
    int cascadeUpdate(const void* oldParent, const void* newParent);
    RelationManager* related(std::string_view label) const;
    int openRelated(std::vector<const RelationManager*>& seen, std::vector<RelationManager*>& opened, OpenMode mode);

    FileManager& file_;
    std::function<RelationManager*(std::string_view)> lookup_;
    std::vector<RelationDef> relations_;
    bool relationsDefined_ = false;
    std::vector<std::vector<RelationManager*>> openedRelated_;  // per open with related tables
};

}  // namespace rt
