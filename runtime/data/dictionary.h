// The calling thread's tables: its managers reachable by table label. The dictionary of the
// program builds it per thread (InitDictionary) and releases it (KillDictionary).
//
//   thread_local CubeKopfRecord CUBK;
//   void InitDictionary() { rt::threadDictionary().add(cubeKopfTable(), &CUBK); ... }
//   void KillDictionary() { rt::threadDictionary().release(); }
//   rt::fileManager("VOQCubeKopf")->open();
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/file_manager.h"
#include "runtime/data/relation_manager.h"
#include "runtime/expr/bindings.h"

namespace rt {

class ThreadDictionary {
public:
    ThreadDictionary() = default;
    ~ThreadDictionary();
    ThreadDictionary(const ThreadDictionary&) = delete;
    ThreadDictionary& operator=(const ThreadDictionary&) = delete;

    // Builds the table's manager and relation manager for this thread and registers both; the
    // buffer's fields are bound for the thread's expressions ("CUBK:CubeName") until release().
    RelationManager& add(const TableDef& def, void* buffer);
    FileManager* file(std::string_view label) const;
    RelationManager* relation(std::string_view label) const;
    std::size_t size() const { return entries_.size(); }
    // The table managers in the order added.
    std::vector<FileManager*> files() const;
    // Closes each table (in the order added) and releases every manager.
    void release();

private:
    struct Entry {
        std::unique_ptr<FileManager> file;
        std::unique_ptr<RelationManager> relation;
        std::shared_ptr<const FieldSource> fields;
    };
    std::vector<Entry> entries_;
};

ThreadDictionary& threadDictionary();
FileManager* fileManager(std::string_view label);
RelationManager* relationManager(std::string_view label);

}  // namespace rt
