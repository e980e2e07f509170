// Query by example: the run over one source's records that the view and the report share: the
// source opened with the built filter and order, and its records read behind a progress window
// (up to 50 on each timer event), the percentage counted in bytes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/data/file_manager.h"
#include "runtime/data/view_manager.h"

// The table of a source by its number (1 "CrossTab", 2 "VOQCubeGruppe", 3 "VOQCubeKopf").
rt::FileManager* QBESourceFile(int number);
// INT(bytes read × 100 ÷ the file's bytes), capped at 100; a file of no bytes counts as done.
int QBEProgressPercent(long long bytesRead, long long fileBytes);

namespace qbeprogress {
enum Control { Bar = 1, Text, Cancel };
}

class QBESourceRun {
public:
    // sources: the source names in the component's order; sourceNumber from 1.
    QBESourceRun(const std::vector<std::string>& sources, int sourceNumber);
    ~QBESourceRun();  // the view and the source are closed
    QBESourceRun(const QBESourceRun&) = delete;
    QBESourceRun& operator=(const QBESourceRun&) = delete;

    // Opens the source and sets the filter and the order; false when the source cannot be
    // opened or rejects either (error 46), the message shown. A rejected filter stops the run:
    // going on would read the whole table.
    bool open(const std::string& filter, const std::string& order);
    // Reads the records behind the progress window `title`, onRecord seeing each in the source's
    // buffer. True when the end was reached; false after "Cancel" or a read error (shown).
    bool read(const std::string& procedure, const std::string& title, const std::function<void()>& onRecord);
    // The current record's field at position `number` (from 1) as text; empty when there is none.
    std::string field(long number) const;

    rt::FileManager* file() const { return file_; }
    const std::string& source() const { return source_; }
    long long recordsRead() const { return read_; }

private:
    rt::FileManager* file_ = nullptr;
    std::string source_;
    std::unique_ptr<rt::ViewManager> view_;
    bool opened_ = false;
    long long read_ = 0;
};
