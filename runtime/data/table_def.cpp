#include "runtime/data/table_def.h"

#include <mutex>

#include "runtime/os/path.h"

namespace rt {

int TableDef::findKey(std::string_view labelOrName) const {
    bool hasColon = labelOrName.find(':') != std::string_view::npos;
    auto name = hasColon ? labelOrName.substr(labelOrName.find(':') + 1) : labelOrName;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (namesEqualNoCase(hasColon ? keys[i].label : keys[i].name, labelOrName)) return static_cast<int>(i);
    if (hasColon)  // the prefix of a key label may be spelt differently
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (namesEqualNoCase(keys[i].name, name)) return static_cast<int>(i);
    return -1;
}

int TableDef::identifyingKey() const {
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i].primary()) return static_cast<int>(i);
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i].unique()) return static_cast<int>(i);
    return -1;
}

bool TableDef::hasAutoKey() const {
    for (const auto& k : keys)
        if (k.autoComponent > 0) return true;
    return false;
}

namespace {
std::mutex gRelationsMutex;
std::vector<RelationDef>& relationList() {
    static std::vector<RelationDef> list;
    return list;
}
}  // namespace

void declareRelation(RelationDef relation) {
    std::lock_guard lock(gRelationsMutex);
    relationList().push_back(std::move(relation));
}

std::vector<RelationDef> relationsOf(std::string_view tableLabel) {
    std::lock_guard lock(gRelationsMutex);
    std::vector<RelationDef> out;
    for (const auto& r : relationList())
        if (namesEqualNoCase(r.parent, tableLabel) || namesEqualNoCase(r.child, tableLabel)) out.push_back(r);
    return out;
}

void clearRelations() {
    std::lock_guard lock(gRelationsMutex);
    relationList().clear();
}

}  // namespace rt
