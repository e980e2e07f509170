#include "runtime/data/relation_manager.h"

#include <algorithm>

#include "runtime/data/dictionary.h"
#include "runtime/data/table_driver.h"
#include "runtime/os/path.h"
#include "runtime/thread/thread_state.h"

namespace rt {

RelationManager::RelationManager(FileManager& file) : file_(file) {}

const std::vector<RelationDef>& RelationManager::relations() {
    if (!relationsDefined_) {  // deferred: defined when first needed
        relations_ = relationsOf(label());
        relationsDefined_ = true;
    }
    return relations_;
}

RelationManager* RelationManager::related(std::string_view label) const {
    if (lookup_) return lookup_(label);
    return relationManager(label);
}

// Opens the tables related to this one and theirs; each table opened is recorded in `opened`
// (the list of the manager the open started from), so that its close closes the whole chain.
int RelationManager::openRelated(std::vector<const RelationManager*>& seen, std::vector<RelationManager*>& opened,
                                 OpenMode mode) {
    for (const auto& r : relations()) {
        bool parent = namesEqualNoCase(r.parent, label());
        RelationManager* other = related(parent ? r.child : r.parent);
        if (!other || std::find(seen.begin(), seen.end(), other) != seen.end()) continue;
        seen.push_back(other);
        if (int rc = other->file().open(mode)) return rc;
        opened.push_back(other);
        if (int rc = other->openRelated(seen, opened, mode)) return rc;
    }
    return 0;
}

int RelationManager::open(bool withRelated, OpenMode mode) {
    int rc = file_.open(mode);
    if (rc || !withRelated) return rc;
    std::vector<const RelationManager*> seen{this};
    std::vector<RelationManager*> opened;
    rc = openRelated(seen, opened, mode);
    if (rc) {
        // A related table that does not open: nothing of this open stays open.
        for (auto it = opened.rbegin(); it != opened.rend(); ++it) (*it)->file().close();
        file_.close();
        return rc;
    }
    openedRelated_.push_back(std::move(opened));
    return 0;
}

int RelationManager::close(bool withRelated) {
    if (withRelated && !openedRelated_.empty()) {
        // Undoes the latest open with related tables (opens are counted); others' opens stay.
        auto last = std::move(openedRelated_.back());
        openedRelated_.pop_back();
        for (auto it = last.rbegin(); it != last.rend(); ++it) (*it)->file().close();
    }
    return file_.close();
}

namespace {

// The child's key components carry the parent's link values.
void copyLinks(const RelationDef& r, const RecordDesc& parentDesc, const void* parent, FileManager& child) {
    for (const auto& [pf, cf] : r.links) {
        int pi = parentDesc.find(pf), ci = child.desc().find(cf);
        if (pi < 0 || ci < 0) continue;
        child.desc().set(child.buffer(), static_cast<std::size_t>(ci),
                         parentDesc.get(parent, static_cast<std::size_t>(pi)));
    }
}

bool linksMatch(const RelationDef& r, const RecordDesc& parentDesc, const void* parent, FileManager& child) {
    for (const auto& [pf, cf] : r.links) {
        int pi = parentDesc.find(pf), ci = child.desc().find(cf);
        if (pi < 0 || ci < 0) return false;
        if (parentDesc.text(parent, static_cast<std::size_t>(pi)) !=
            child.desc().text(child.buffer(), static_cast<std::size_t>(ci)))
            return false;
    }
    return true;
}

bool linksChanged(const RelationDef& r, const RecordDesc& d, const void* a, const void* b) {
    for (const auto& link : r.links) {
        int i = d.find(link.first);
        if (i >= 0 && d.text(a, static_cast<std::size_t>(i)) != d.text(b, static_cast<std::size_t>(i))) return true;
    }
    return false;
}

// Reads the children of `parent` one at a time and hands each to `each`; the position is
// taken anew after every child, so that deleting or re-linking it does not lose the place.
template <class F>
int forEachChild(const RelationDef& r, const RecordDesc& parentDesc, const void* parent, RelationManager& child,
                 F each) {
    FileManager& cf = child.file();
    int key = cf.def().findKey(r.childKey);
    if (key < 0) return cf.fail(ErrInvalidRecordDeclaration);
    for (;;) {
        cf.clearBuffer();
        copyLinks(r, parentDesc, parent, cf);
        if (int rc = cf.setFrom(key)) return rc;
        int rc = cf.next();
        if (rc == ErrRecordNotAvailable) return 0;
        if (rc) return rc;
        if (!linksMatch(r, parentDesc, parent, cf)) return 0;
        int done = each();
        if (done < 0) return 0;  // stop without error
        if (done > 0) return done;
    }
}

}  // namespace

int RelationManager::cascadeDelete(const void* parentRecord) {
    for (const auto& r : relations()) {
        if (!namesEqualNoCase(r.parent, label()) || r.onDelete == RelationRule::Nothing) continue;
        RelationManager* child = related(r.child);
        if (!child) continue;
        if (int rc = child->file().useFile()) return rc;
        auto saved = child->file().saveBuffer();
        int rc = forEachChild(r, file_.desc(), parentRecord, *child, [&]() -> int {
            switch (r.onDelete) {
            case RelationRule::Restrict: return child->file().fail(ErrRelatedRecords);
            case RelationRule::Clear: {
                for (const auto& link : r.links) {
                    int ci = child->file().desc().find(link.second);
                    if (ci >= 0)
                        child->file().desc().set(child->file().buffer(), static_cast<std::size_t>(ci), std::string());
                }
                return child->update();
            }
            default: return child->deleteRecord();
            }
        });
        child->file().restoreBuffer(saved);
        if (rc) return rc;
    }
    return 0;
}

int RelationManager::cascadeUpdate(const void* oldParent, const void* newParent) {
    for (const auto& r : relations()) {
        if (!namesEqualNoCase(r.parent, label()) || r.onUpdate == RelationRule::Nothing) continue;
        if (!linksChanged(r, file_.desc(), oldParent, newParent)) continue;
        RelationManager* child = related(r.child);
        if (!child) continue;
        if (int rc = child->file().useFile()) return rc;
        auto saved = child->file().saveBuffer();
        int rc = forEachChild(r, file_.desc(), oldParent, *child, [&]() -> int {
            if (r.onUpdate == RelationRule::Restrict) return child->file().fail(ErrRelatedRecords);
            if (r.onUpdate == RelationRule::Clear) {
                for (const auto& link : r.links) {
                    int ci = child->file().desc().find(link.second);
                    if (ci >= 0)
                        child->file().desc().set(child->file().buffer(), static_cast<std::size_t>(ci), std::string());
                }
            } else {
                copyLinks(r, file_.desc(), newParent, child->file());
            }
            return child->update();
        });
        child->file().restoreBuffer(saved);
        if (rc) return rc;
    }
    return 0;
}

namespace {
// The cascade's transaction takes in the store of each open table it touches.
void addFile(TransactionGuard& tx, FileManager& fm) {
    if (!fm.driver() || !fm.driver()->store()) return;
    StoreError e;
    tx.add(*fm.driver()->store(), e);
}

void addChildren(RelationManager& rm, TransactionGuard& tx, std::vector<RelationManager*>& seen,
                 const std::function<RelationManager*(std::string_view)>& find) {
    for (const auto& r : rm.relations()) {
        if (!namesEqualNoCase(r.parent, rm.label())) continue;
        RelationManager* child = find(r.child);
        if (!child || std::find(seen.begin(), seen.end(), child) != seen.end()) continue;
        seen.push_back(child);
        if (child->file().useFile() == 0) addFile(tx, child->file());
        addChildren(*child, tx, seen, find);
    }
}

// The table's store and those of its children, theirs and so on.
void addFamily(RelationManager& rm, TransactionGuard& tx,
               const std::function<RelationManager*(std::string_view)>& find) {
    addFile(tx, rm.file());
    std::vector<RelationManager*> seen{&rm};
    addChildren(rm, tx, seen, find);
}
}  // namespace

int RelationManager::update() {
    if (file_.readOnly()) return file_.fail(ErrAccessDenied);  // before any cascade
    if (int rc = file_.useFile()) return rc;
    const void* last = file_.lastRead();
    if (!last) return file_.update();
    auto old = file_.saveBuffer();
    file_.desc().copy(old.record.get(), last);
    TransactionGuard tx;
    addFamily(*this, tx, [this](std::string_view l) { return related(l); });
    auto current = file_.saveBuffer();
    int rc = cascadeUpdate(old.record.get(), current.record.get());
    if (rc == 0) rc = file_.update();
    if (rc) return rc;
    if (StoreError e; !tx.commit(e)) return file_.fail(ErrFileSystem, "", "commit failed");
    return 0;
}

int RelationManager::deleteRecord() {
    if (file_.readOnly()) return file_.fail(ErrAccessDenied);  // before any cascade
    if (int rc = file_.useFile()) return rc;
    const void* last = file_.lastRead();
    if (!last) return file_.deleteRecord();
    auto parent = file_.saveBuffer();
    file_.desc().copy(parent.record.get(), last);
    TransactionGuard tx;
    addFamily(*this, tx, [this](std::string_view l) { return related(l); });
    int rc = cascadeDelete(parent.record.get());
    if (rc == 0) rc = file_.deleteRecord();
    if (rc) return rc;
    if (StoreError e; !tx.commit(e)) return file_.fail(ErrFileSystem, "", "commit failed");
    return 0;
}

int RelationManager::cancelReserved() {
    if (!file_.reserved()) return 0;
    // Children that were added to the reserved record (a copied cube's fields) go with it.
    auto buffer = file_.saveBuffer();
    const void* reservedRecord = file_.reservedPosition().record.get();
    auto parent = file_.saveBuffer();
    if (reservedRecord) file_.desc().copy(parent.record.get(), reservedRecord);
    TransactionGuard tx;
    addFamily(*this, tx, [this](std::string_view l) { return related(l); });
    int rc = cascadeDelete(parent.record.get());
    if (rc == 0) rc = file_.cancelReserved();
    file_.restoreBuffer(buffer);
    if (rc) return rc;
    if (StoreError e; !tx.commit(e)) return file_.fail(ErrFileSystem, "", "commit failed");
    return 0;
}

}  // namespace rt
