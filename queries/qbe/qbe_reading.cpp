#include "queries/qbe/qbe_reading.h"

#include <algorithm>

#include "core/common/common_window.h"
#include "core/dictionary/dictionary.h"
#include "queries/qbe/qbe_definitions.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/window.h"

rt::FileManager* QBESourceFile(int number) {
    switch (number) {
    case 1: return Access.CrossTab;
    case 2: return Access.VOQCubeGruppe;
    case 3: return Access.VOQCubeKopf;
    default: return nullptr;
    }
}

int QBEProgressPercent(long long bytesRead, long long fileBytes) {
    if (fileBytes <= 0) return 100;
    return static_cast<int>(std::min<long long>(100, bytesRead * 100 / fileBytes));
}

QBESourceRun::QBESourceRun(const std::vector<std::string>& sources, int sourceNumber)
    : file_(QBESourceFile(sourceNumber)) {
    if (sourceNumber >= 1 && static_cast<std::size_t>(sourceNumber) <= sources.size())
        source_ = sources[static_cast<std::size_t>(sourceNumber - 1)];
    else if (file_)
        source_ = file_->label();
}

QBESourceRun::~QBESourceRun() {
    if (view_) view_->close();
    if (opened_) file_->close();
}

bool QBESourceRun::open(const std::string& filter, const std::string& order) {
    if (!file_) return false;
    // The source's table is opened with the same steps as the definitions file; they tell the user.
    if (OpenQBEFile(*file_) != 0) return false;
    opened_ = true;
    view_ = std::make_unique<rt::ViewManager>(*file_);
    if (view_->setFilter(rt::clip(filter)) != 0 || view_->setOrder(rt::clip(order)) != 0) {
        WindowErrorManager().throwFile(46, file_->label());
        return false;
    }
    return true;
}

bool QBESourceRun::read(const std::string& procedure, const std::string& title, const std::function<void()>& onRecord) {
    using namespace qbeprogress;
    rt::Window p(procedure, title);
    p.setPosition(0, 0, 150, 58).edit().centered = true;
    p.edit().resizable = false;
    p.add(Bar, rt::ControlKind::Progress).setPosition(15, 8, 120, 12).setRange(0, 100).setValue("0");
    p.add(Text, rt::ControlKind::String).setPosition(0, 26, 150, 10).setText("");
    p.add(Cancel, rt::ControlKind::Button).setPosition(55, 40, 40, 12).setText("Cancel");
    // The timer paces the reading: its events follow each other as fast as the loop takes them,
    // each batch posting the next, with the user's input (Cancel) taken in between.
    p.setTimer(1);
    int rc = view_->open();
    if (rc != 0) {
        WindowErrorManager().throwFile(rc, file_->label());
        return false;
    }
    file_->send("QUICKSCAN=on");
    const long long fileBytes = std::max(0LL, file_->bytes());
    const long long recordBytes = static_cast<long long>(file_->desc().byteSize());
    long long bytes = 0;
    int percent = -1;
    bool done = false, completed = false;
    while (auto e = p.accept()) {
        if (e.event == rt::Event::Timer && !done) {
            for (int n = 0; n < 50 && !done; ++n) {
                rc = view_->next();
                if (rc != 0) {
                    done = true;
                    completed = rc == 33;
                    if (rc != 33) WindowErrorManager().throwFile(rc, file_->label());
                    break;
                }
                ++read_;
                onRecord();
                bytes += recordBytes;
            }
            // Once at 100 the count stays there; a filtered run may never get that far.
            if (percent < 100) {
                const int now = QBEProgressPercent(bytes, fileBytes);
                if (now != percent) {
                    percent = now;
                    p[Bar].setValue(std::to_string(now));
                    p[Text].setText(rt::formatPicture(now, "@n3") + "% Completed");
                }
            }
            if (done)
                p.post(rt::Event::CloseWindow);
            else
                p.post(rt::Event::Timer);
        } else if (e.event == rt::Event::Accepted && e.control == Cancel) {
            done = true;
            completed = false;
            p.post(rt::Event::CloseWindow);
        } else if (e.event == rt::Event::CloseWindow || e.event == rt::Event::CloseDown) {
            done = true;
        }
    }
    return completed;
}

std::string QBESourceRun::field(long number) const {
    const rt::RecordDesc& desc = file_->desc();
    if (number < 1 || static_cast<std::size_t>(number) > desc.fieldCount()) return {};
    return std::string(rt::clip(desc.text(file_->buffer(), static_cast<std::size_t>(number - 1))));
}
