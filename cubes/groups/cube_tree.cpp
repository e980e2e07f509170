#include <algorithm>
#include <cstdlib>

#include "core/dictionary/dictionary.h"
#include "cubes/groups/groups.h"
#include "runtime/data/errors.h"

namespace {

bool readFailed(int rc) { return rc != 0 && rc != rt::ErrRecordNotAvailable; }

void copyCubeBuffer(CubeTreeRow& row) {
    row.cubeGroup = CUBK.ID_CUBG;
    row.cubeName = CUBK.CubeName.str();
    row.cubeId = CUBK.ID;
}

}  // namespace

void CubeTree::remember(long groupId) {
    if (!remembered(groupId)) expanded_.push_back(groupId);
}

void CubeTree::forget(long groupId) {
    expanded_.erase(std::remove(expanded_.begin(), expanded_.end(), groupId), expanded_.end());
}

bool CubeTree::remembered(long groupId) const {
    return std::find(expanded_.begin(), expanded_.end(), groupId) != expanded_.end();
}

// The first cube of the group by CUBK:KeyCubeIDGrp; the cube-header buffer keeps what was read.
bool CubeTree::readCubes(long groupId, bool& hasCubes) {
    rt::FileManager& cubes = *Access.VOQCubeKopf;
    CUBK.ID_CUBG = static_cast<rt::Long>(groupId);
    cubes.setFrom("CUBK:KeyCubeIDGrp");
    const int rc = cubes.next();
    if (readFailed(rc)) return false;
    hasCubes = rc == 0 && CUBK.ID_CUBG == groupId;
    return true;
}

// Inserts the group's cubes, active or not, after `afterRow`; the number inserted, -1 on error.
int CubeTree::insertCubes(int afterRow, long groupId) {
    rt::FileManager& cubes = *Access.VOQCubeKopf;
    CUBK.ID_CUBG = static_cast<rt::Long>(groupId);
    cubes.setFrom("CUBK:KeyCubeIDGrp");
    int inserted = 0;
    for (;;) {
        const int rc = cubes.next();
        if (readFailed(rc)) return -1;
        if (rc != 0 || CUBK.ID_CUBG != groupId) break;
        CubeTreeRow row;
        row.display = CUBK.Beschreibung.str() + " ( " + CUBK.CubeName.str() + ")";
        row.level = 2;
        row.instance = 2;
        copyCubeBuffer(row);
        rows_.insert(rows_.begin() + afterRow + inserted, row);
        ++inserted;
    }
    return inserted;
}

bool CubeTree::load() {
    rows_.clear();
    if (forgetExpanded) {
        expanded_.clear();
        forgetExpanded = false;
    }
    CubeTreeRow root;
    root.display = "CubeGruppen";
    rows_.push_back(root);

    rt::FileManager& groups = *Access.VOQCubeGruppe;
    if (groups.open() != 0) return false;
    if (Access.VOQCubeKopf->open() != 0) {
        groups.close();
        return false;
    }
    bool ok = true;
    groups.setOrder("CUBG:KeyID");
    for (;;) {
        const int rc = groups.next();
        if (rc != 0) {
            ok = !readFailed(rc);
            break;
        }
        if (CUBG.Activ != 1) continue;
        const long id = CUBG.ID;
        bool hasCubes = false;
        if (!readCubes(id, hasCubes)) {
            ok = false;
            break;
        }
        CubeTreeRow row;
        row.display = CUBG.GruppenName.str();
        row.level = hasCubes ? -1 : 1;
        row.instance = 1;
        row.groupId = id;
        copyCubeBuffer(row);
        if (expandAll) remember(id);
        if (remembered(id)) {
            row.level = 1;
            row.loaded = hasCubes ? 1 : 0;
            rows_.push_back(row);
            if (hasCubes) {
                if (insertCubes(count(), id) < 0) {
                    ok = false;
                    break;
                }
            } else {
                forget(id);
            }
        } else {
            rows_.push_back(row);
        }
    }
    Access.VOQCubeKopf->close();
    groups.close();
    return ok;
}

// Reads the group again by its identifier and tests it for cubes; false on a read error.
bool CubeTree::rereadGroup(long groupId, bool& found, bool& hasCubes) {
    rt::FileManager& groups = *Access.VOQCubeGruppe;
    if (groups.open() != 0) return false;
    if (Access.VOQCubeKopf->open() != 0) {
        groups.close();
        return false;
    }
    CUBG.ID = static_cast<rt::Long>(groupId);
    found = groups.fetch("CUBG:KeyID") == 0;
    bool ok = true;
    if (found) ok = readCubes(groupId, hasCubes);
    Access.VOQCubeKopf->close();
    groups.close();
    return ok;
}

bool CubeTree::expand(int r) {
    if (r < 1 || r > count()) return true;
    CubeTreeRow& row = rows_[static_cast<std::size_t>(r) - 1];
    if (row.loaded == 1) return true;
    if (row.instance == 0) {
        expandAll = true;
        forgetExpanded = true;
        return load();
    }
    if (row.instance != 1) return true;
    const long id = row.groupId;
    bool hasCubes = false;
    bool found = false;
    if (!rereadGroup(id, found, hasCubes)) return false;
    bool ok = true;
    if (found) {
        CubeTreeRow& again = rows_[static_cast<std::size_t>(r) - 1];
        again.level = std::labs(again.level);
        remember(id);
        again.loaded = hasCubes ? 1 : 0;
        if (hasCubes) {
            ok = Access.VOQCubeKopf->open() == 0;
            if (ok) {
                ok = insertCubes(r, id) >= 0;
                Access.VOQCubeKopf->close();
            }
        } else {
            forget(id);
        }
    } else {
        ok = false;
    }
    return ok;
}

bool CubeTree::contract(int r) {
    if (r < 1 || r > count()) return true;
    CubeTreeRow& row = rows_[static_cast<std::size_t>(r) - 1];
    if (row.instance == 0) {
        expandAll = false;
        forgetExpanded = true;
        return load();
    }
    if (row.loaded != 1) return true;
    const long id = row.groupId;
    forget(id);
    bool hasCubes = false;
    bool found = false;
    const bool ok = rereadGroup(id, found, hasCubes) && found;
    CubeTreeRow& again = rows_[static_cast<std::size_t>(r) - 1];
    again.level = hasCubes ? -1 : 1;
    again.loaded = 0;
    const long depth = std::labs(again.level);
    auto first = rows_.begin() + r;
    auto last = first;
    while (last != rows_.end() && std::labs(last->level) > depth) ++last;
    rows_.erase(first, last);
    return ok;
}

// ---- Toolbar navigation --------------------------------------------------------------------

int CubeTree::nextGroup(int r) {
    if (r < 1 || r > count() || row(r).instance != 2) return r;
    for (int i = r + 1; i <= count(); ++i) {
        if (row(i).instance == 1) return i;
    }
    return r;
}

int CubeTree::groupOf(int r) const {
    if (r < 1 || r > count()) return r;
    if (row(r).instance != 2) return 1;
    for (int i = r - 1; i >= 1; --i) {
        if (row(i).instance == 1) return i;
    }
    return 1;
}

int CubeTree::nextSameLevel(int r) {
    if (r < 1 || r > count()) return r;
    const long level = std::labs(row(r).level);
    for (int i = r + 1; i <= count(); ++i) {
        if (row(i).level < 0) expand(i);
        if (std::labs(row(i).level) == level) return i;
    }
    return r;
}

int CubeTree::previousSameLevel(int r) {
    if (r < 1 || r > count()) return r;
    const long level = std::labs(row(r).level);
    int current = r;
    for (int i = r - 1; i >= 1;) {
        if (row(i).level < 0) {
            const int before = count();
            if (!expand(i)) return current;
            const int added = count() - before;
            if (added > 0) {
                // The rows just shown lie between: look at them from the last one up.
                current += added;
                i += added;
                continue;
            }
        }
        if (std::labs(row(i).level) == level) return i;
        --i;
    }
    return current;
}

int CubeTree::down(int r) {
    if (r < 1 || r > count()) return r;
    expand(r);
    return std::min(r + 1, count());
}

int CubeTree::up(int r) {
    if (r <= 1 || r > count()) return r;
    const int before = count();
    expand(r - 1);
    return r - 1 + (count() - before);
}
