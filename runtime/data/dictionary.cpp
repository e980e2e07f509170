#include "runtime/data/dictionary.h"

#include "runtime/data/expr_binding.h"
#include "runtime/os/path.h"

namespace rt {

// At thread end the thread's bindings may be gone before the dictionary: close only.
ThreadDictionary::~ThreadDictionary() {
    for (auto& e : entries_) e.fields.reset();
    release();
}

RelationManager& ThreadDictionary::add(const TableDef& def, void* buffer) {
    Entry e;
    e.file = std::make_unique<FileManager>(def, buffer);
    e.relation = std::make_unique<RelationManager>(*e.file);
    e.fields = std::make_shared<DescribedRecordFields>(def.record, buffer);
    threadBindings().bindFields(e.fields);
    entries_.push_back(std::move(e));
    return *entries_.back().relation;
}

FileManager* ThreadDictionary::file(std::string_view label) const {
    for (const auto& e : entries_)
        if (namesEqualNoCase(e.file->label(), label)) return e.file.get();
    return nullptr;
}

RelationManager* ThreadDictionary::relation(std::string_view label) const {
    for (const auto& e : entries_)
        if (namesEqualNoCase(e.file->label(), label)) return e.relation.get();
    return nullptr;
}

std::vector<FileManager*> ThreadDictionary::files() const {
    std::vector<FileManager*> out;
    for (const auto& e : entries_) out.push_back(e.file.get());
    return out;
}

void ThreadDictionary::release() {
    for (auto& e : entries_) {
        e.relation->close(false);
        e.file->closeAll();
        if (e.fields) threadBindings().unbindFields(*e.fields);  // still bound: drop it
    }
    entries_.clear();
}

ThreadDictionary& threadDictionary() {
    thread_local ThreadDictionary dictionary;
    return dictionary;
}

FileManager* fileManager(std::string_view label) { return threadDictionary().file(label); }
RelationManager* relationManager(std::string_view label) { return threadDictionary().relation(label); }

}  // namespace rt
