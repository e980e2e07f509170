#include "cubes/odbc/debug_queue.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>

#include "runtime/os/files.h"
#include "runtime/os/path.h"
#include "runtime/text/picture.h"
#include "runtime/text/strings.h"
#include "runtime/ui/dialogs.h"
#include "runtime/ui/window.h"

namespace {

// Module-wide: once ignored, the window stays shut for the run; the last position (0 = none).
std::mutex stateMutex;
bool ignoreAll = false;
int lastX = 0;
int lastY = 0;

// One entry of the column layout of a save.
struct ColumnLayout {
    std::size_t field = 0;
    std::string NOME;
    char TIPO = 'N';
    long TAMANHO = 0;
};

std::vector<std::size_t> shownFields(const rt::RecordDesc& desc) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < desc.fieldCount(); ++i)
        if (desc.field(i).type != rt::FieldType::Group) out.push_back(i);
    return out;
}

double numberOf(const rt::FieldValue& v) {
    if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto* d = std::get_if<rt::DecimalValue>(&v)) return d->toDouble();
    return 0;
}

// Digits before the point as INT(LOG10(value)) + 1; LOG10 of 0 or less counts as 0.
long numberWidth(double value) {
    double lg = value > 0 ? std::log10(value) : 0.0;
    return static_cast<long>(std::trunc(lg)) + 1;
}

// True when another open file description holds a lock on the file.
bool inUseElsewhere(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock lk {};
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    bool busy = ::fcntl(fd, F_OFD_GETLK, &lk) == 0 && lk.l_type != F_UNLCK;
    ::close(fd);
    return busy;
}

void saveError(const std::string& text) {
    rt::message(text, "Gravar Queue", rt::MessageIcon::Question, rt::button::Ok);
}

std::string cellText(const rt::RecordDesc& desc, const void* rec, std::size_t field, const std::string& picture) {
    rt::FieldValue v = desc.get(rec, field);
    if (auto* i = std::get_if<std::int64_t>(&v)) return rt::formatPicture(*i, picture);
    if (auto* d = std::get_if<rt::DecimalValue>(&v)) return rt::formatPicture(*d, picture);
    return rt::formatPicture(std::string(rt::clip(std::get<std::string>(v))), picture);
}

}  // namespace

void resetDebugQueue() {
    std::lock_guard lock(stateMutex);
    ignoreAll = false;
    lastX = lastY = 0;
}

int SaveQueueToFile(const rt::QueueBase& queue, rt::Byte, rt::Byte format, rt::Byte, rt::Byte, rt::Byte recordNumbers,
                    std::string_view fileName, std::string_view separator, std::string_view quote) {
    const rt::RecordDesc* desc = queue.desc();
    if (!desc) return 0;
    const std::string sep = separator.empty() ? std::string(";") : std::string(rt::cutChars(separator, 1));
    const std::string q = quote.empty() ? std::string("\"") : std::string(rt::cutChars(quote, 1));

    std::string file(fileName);
    if (file.empty()) {
        rt::FileDialogResult r = rt::saveFileDialog(
            "Informe o arquivo a criar", "", "Separado por Ponto e Vírgula|*.CSV|Arquivo Texto Posicional|*.TXT");
        if (!r.ok || r.path.empty()) return 0;
        format = r.filterIndex == 2 ? 2 : 1;
        file = rt::withDefaultExtension(r.path, format == 2 ? ".txt" : ".csv");
    }
    const std::string path = rt::resolvePath(file);
    if (inUseElsewhere(path)) {
        saveError("O arquivo especificado está em uso");
        return 0;
    }
    // Written whole or not at all: an older file of the name stays until every line is written.
    rt::ReplacingFile out;
    if (!out.open(path)) {
        saveError("Erro na criação do arquivo " + file);
        return 0;
    }

    std::vector<ColumnLayout> layout;
    for (std::size_t f : shownFields(*desc)) {
        ColumnLayout c;
        c.field = f;
        c.NOME = std::string(rt::cutChars(rt::clip(desc->field(f).name), 50));
        c.TIPO = desc->field(f).isText() ? 'S' : 'N';
        layout.push_back(std::move(c));
    }
    const std::size_t n = queue.records();
    for (std::size_t pos = 1; pos <= n; ++pos) {
        const void* rec = queue.entry(pos);
        for (ColumnLayout& c : layout) {
            long w = c.TIPO == 'S' ? static_cast<long>(rt::charLength(rt::clip(desc->text(rec, c.field))))
                                   : numberWidth(numberOf(desc->get(rec, c.field)));
            if (w > c.TAMANHO) c.TAMANHO = w;
        }
    }

    std::string text;
    auto line = [&](const std::string& l) {
        text += l;
        text += "\r\n";
    };
    if (format == 2) {
        line("Colunas - início : fim");
        long first = 1;
        for (const ColumnLayout& c : layout) {
            line(fmt::format("{} - {} : {}", c.NOME, first, first + c.TAMANHO - 1));
            first += c.TAMANHO;
        }
        line("");
        line("Dados");
        for (std::size_t pos = 1; pos <= n; ++pos) {
            const void* rec = queue.entry(pos);
            std::string l;
            for (const ColumnLayout& c : layout)
                l += rt::padChars(rt::clip(desc->text(rec, c.field)), static_cast<std::size_t>(c.TAMANHO));
            line(l);
        }
    } else {
        std::string head = recordNumbers ? "REGISTRO;" : "";
        for (std::size_t i = 0; i < layout.size(); ++i) head += (i ? sep : "") + layout[i].NOME;
        line(head);
        for (std::size_t pos = 1; pos <= n; ++pos) {
            const void* rec = queue.entry(pos);
            std::string l = recordNumbers ? std::to_string(pos) + ";" : "";
            for (std::size_t i = 0; i < layout.size(); ++i) {
                if (i) l += sep;
                std::string v = desc->text(rec, layout[i].field);
                l += layout[i].TIPO == 'S' ? q + rt::formulaGuarded(rt::clip(v)) + q : v;
            }
            line(l);
        }
    }
    const bool ok = out.write(text) && out.commit();
    // Only read: the queue's current entry is as it was.
    return ok ? 1 : 0;
}

void debugQueue(const rt::QueueBase& queue, rt::Byte option1, rt::Byte format, rt::Byte option3, rt::Byte option4,
                rt::Byte recordNumbers, std::string_view, std::string_view, std::string_view) {
    {
        std::lock_guard lock(stateMutex);
        if (ignoreAll) return;
    }
    const rt::RecordDesc* desc = queue.desc();
    if (!desc) return;
    enum { LIST = 1, PANEL, IGNORE, SAVE, CLOSE };
    const std::vector<std::size_t> fields = shownFields(*desc);
    std::vector<std::string> pictures(fields.size(), "@s50");

    rt::Window w("debugQueue", fmt::format("Debug Queue - {} registros", queue.records()));
    rt::Font tahoma;
    tahoma.face = "Tahoma";
    tahoma.size = 8;
    w.edit().font = tahoma;
    int width = 400, height = 220;
    {
        std::lock_guard lock(stateMutex);
        if (lastX != 0 || lastY != 0)
            w.setPosition(lastX, lastY, width, height);
        else
            w.setSize(width, height);
    }
    w.add(LIST, rt::ControlKind::List).setPosition(5, 5, width - 10, height - 35).editList().lineHeight = 11;
    w.add(PANEL, rt::ControlKind::Panel).setPosition(5, height - 25, width - 10, 22);
    w.add(IGNORE, rt::ControlKind::Button).setPosition(width - 134, height - 19, 40, 14).setText("&Ignorar");
    w.add(SAVE, rt::ControlKind::Button).setPosition(width - 90, height - 19, 40, 14).setText("&Gravar");
    w.add(CLOSE, rt::ControlKind::Button).setPosition(width - 46, height - 19, 40, 14).setText("&Fechar");
    w.alert(rt::keys::MouseRight);

    auto layoutFor = [&](int wd, int ht) {
        w[LIST].setPosition(5, 5, wd - 10, ht - 35);
        w[PANEL].setPosition(5, ht - 25, wd - 10, 22);
        w[IGNORE].setPosition(wd - 134, ht - 19);
        w[SAVE].setPosition(wd - 90, ht - 19);
        w[CLOSE].setPosition(wd - 46, ht - 19);
    };
    auto fill = [&] {
        const int listWidth = w[LIST].state().width;
        int colWidth = listWidth / static_cast<int>(fields.size() + 1) - 1;
        if (colWidth < 10) colWidth = 10;
        rt::ListData data;
        data.lineHeight = 11;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            rt::ListColumn col;
            col.heading = desc->field(fields[k]).name;
            col.width = colWidth;
            col.picture = pictures[k];
            col.justify = desc->field(fields[k]).isText() ? rt::Justify::Left : rt::Justify::Right;
            col.headingJustify = col.justify;
            col.resizable = true;
            data.columns.push_back(std::move(col));
        }
        for (std::size_t pos = 1; pos <= queue.records(); ++pos) {
            rt::ListRow row;
            for (std::size_t k = 0; k < fields.size(); ++k)
                row.cells.push_back({cellText(*desc, queue.entry(pos), fields[k], pictures[k])});
            data.rows.push_back(std::move(row));
        }
        w[LIST].setListData(std::move(data));
    };
    fill();

    while (auto e = w.accept()) {
        switch (e.event) {
        case rt::Event::Sized:
            width = e.width;
            height = e.height;
            layoutFor(width, height);
            fill();
            break;
        case rt::Event::AlertKey:
            if (e.control == LIST && e.keyCode == rt::keys::MouseRight && e.column >= 1 &&
                static_cast<std::size_t>(e.column) <= fields.size()) {
                static const char* const choices[] = {"@D6", "@T4", "@N12.`2", "@S50"};
                int chosen = rt::popup("@D6|@T4|@N12.`2|@S50");
                if (chosen >= 1 && chosen <= 4) {
                    pictures[static_cast<std::size_t>(e.column - 1)] = choices[chosen - 1];
                    fill();
                }
            }
            break;
        case rt::Event::Accepted:
            if (e.control == IGNORE) {
                std::lock_guard lock(stateMutex);
                ignoreAll = true;
                w.post(rt::Event::CloseWindow);
            } else if (e.control == CLOSE) {
                w.post(rt::Event::CloseWindow);
            } else if (e.control == SAVE) {
                SaveQueueToFile(queue, option1, format, option3, option4, recordNumbers, "", "", "");
            }
            break;
        case rt::Event::CloseWindow:
        case rt::Event::CloseDown: {
            std::lock_guard lock(stateMutex);
            lastX = w.props().x;
            lastY = w.props().y;
            break;
        }
        default: break;
        }
    }
}
