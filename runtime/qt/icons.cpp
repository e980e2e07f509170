#include "runtime/qt/icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <algorithm>
#include <utility>

namespace rt::qt {

namespace {

struct IconEntry {
    const char* file;    // lower case, without "~" and extension
    const char* themes;  // ';'-separated theme names, best first
    QStyle::StandardPixmap standard;
};

constexpr auto kNone = QStyle::SP_CustomBase;

constexpr IconEntry kIcons[] = {
    {"wws", "applications-office;x-office-spreadsheet", QStyle::SP_ComputerIcon},
    {"tavlogo", "applications-office;x-office-spreadsheet", QStyle::SP_ComputerIcon},
    {"add", "document-new;list-add", QStyle::SP_FileIcon},
    {"wiznew", "document-new;list-add", QStyle::SP_FileIcon},
    {"edit", "document-properties;accessories-text-editor", QStyle::SP_FileDialogDetailedView},
    {"wizedit", "document-properties;accessories-text-editor", QStyle::SP_FileDialogDetailedView},
    {"delete", "edit-delete;list-remove", QStyle::SP_TrashIcon},
    {"wizdel", "edit-delete;list-remove", QStyle::SP_TrashIcon},
    {"ok", "emblem-default;dialog-ok", QStyle::SP_DialogOkButton},
    {"waok", "emblem-default;dialog-ok", QStyle::SP_DialogOkButton},
    {"wizok", "emblem-default;dialog-ok", QStyle::SP_DialogOkButton},
    {"select", "emblem-default;go-jump", QStyle::SP_DialogApplyButton},
    {"cancel", "process-stop;dialog-cancel", QStyle::SP_DialogCancelButton},
    {"wacancel", "process-stop;dialog-cancel", QStyle::SP_DialogCancelButton},
    {"wizcncl", "process-stop;dialog-cancel", QStyle::SP_DialogCancelButton},
    {"waclose", "window-close;application-exit", QStyle::SP_DialogCloseButton},
    {"exit5", "application-exit;window-close", QStyle::SP_DialogCloseButton},
    {"qbeexitapp", "application-exit;window-close", QStyle::SP_DialogCloseButton},
    {"wahelp", "help-contents;help-browser", QStyle::SP_DialogHelpButton},
    {"help", "help-contents;help-browser", QStyle::SP_DialogHelpButton},
    {"copy", "edit-copy", kNone},
    {"save", "document-save", QStyle::SP_DialogSaveButton},
    {"print", "document-print", kNone},
    {"date", "x-office-calendar;appointment-new", kNone},
    {"datepop", "x-office-calendar;appointment-new", kNone},
    {"qkload", "document-open", QStyle::SP_DialogOpenButton},
    {"qkqbe", "edit-find;system-search", kNone},
    {"qbe", "system-search;edit-find", kNone},
    {"qbeopen", "document-open", QStyle::SP_DialogOpenButton},
    {"qbesave", "document-save", QStyle::SP_DialogSaveButton},
    {"qbenew", "document-new", QStyle::SP_FileIcon},
    {"qbeaddrow", "list-add", kNone},
    {"qbedelrow", "list-remove", kNone},
    {"qbeexecute", "system-run;media-playback-start", QStyle::SP_MediaPlay},
    {"qbeoptions", "preferences-system;emblem-system", kNone},
    {"qbereport", "document-print-preview;document-print", kNone},
    {"qbesource", "text-x-generic;accessories-text-editor", QStyle::SP_FileIcon},
    {"qbeview", "x-office-spreadsheet;text-x-generic", QStyle::SP_FileDialogListView},
    // The QBE grid's order-code pictures: hidden or shown field, its sort, the report's totals.
    {"qbeoff", "view-conceal-symbolic;list-remove", kNone},
    {"qbeoffup", "go-up-symbolic;go-up", QStyle::SP_ArrowUp},
    {"qbeoffdown", "go-down-symbolic;go-down", QStyle::SP_ArrowDown},
    {"qbeon", "view-reveal-symbolic;list-add", kNone},
    {"qbeonup", "view-sort-ascending-symbolic;view-sort-ascending", QStyle::SP_ArrowUp},
    {"qbeondown", "view-sort-descending-symbolic;view-sort-descending", QStyle::SP_ArrowDown},
    {"qbeonsum", "accessories-calculator-symbolic;accessories-calculator", kNone},
    {"qbeoncount", "view-list-ordered-symbolic;format-list-numbered", kNone},
    {"qbeonavrg", "format-justify-center-symbolic;format-justify-center", kNone},
    {"qbeonmin", "go-bottom-symbolic;go-bottom", QStyle::SP_MediaSkipForward},
    {"qbeonmax", "go-top-symbolic;go-top", QStyle::SP_MediaSkipBackward},
    {"qbeonbreak", "view-paged-symbolic;edit-cut", kNone},
    {"qbemoveleft", "go-previous-symbolic;go-previous", QStyle::SP_ArrowLeft},
    {"qbemoverght", "go-next-symbolic;go-next", QStyle::SP_ArrowRight},
    {"wizditto", "edit-undo;edit-clear", kNone},
    {"wizfirst", "go-top-symbolic;go-top;go-first", QStyle::SP_MediaSkipBackward},
    {"wizlast", "go-bottom-symbolic;go-bottom;go-last", QStyle::SP_MediaSkipForward},
    {"wizpgup", "go-up-symbolic;go-up", QStyle::SP_ArrowUp},
    {"wizpgdn", "go-down-symbolic;go-down", QStyle::SP_ArrowDown},
    {"wizup", "go-up-symbolic;go-up", QStyle::SP_ArrowUp},
    {"wizdown", "go-down-symbolic;go-down", QStyle::SP_ArrowDown},
    {"smfirst", "go-first-symbolic;go-first", QStyle::SP_MediaSkipBackward},
    {"smprev", "go-previous-symbolic;go-previous", QStyle::SP_ArrowLeft},
    {"smnext", "go-next-symbolic;go-next", QStyle::SP_ArrowRight},
    {"smlast", "go-last-symbolic;go-last", QStyle::SP_MediaSkipForward},
    {"smjumppg", "go-jump-symbolic;go-jump", kNone},
    {"smpages", "view-grid-symbolic;view-app-grid-symbolic", QStyle::SP_FileDialogContentsView},
    {"smzoom", "zoom-in;edit-find", kNone},
    {"checkall", "edit-select-all;checkbox-checked-symbolic", kNone},
    {"checkno", "edit-clear;checkbox-symbolic", kNone},
    {"cheklist", "view-list-symbolic;x-office-document", QStyle::SP_FileDialogListView},
    {"chart8", "x-office-spreadsheet", kNone},
    {"chart03", "x-office-presentation", kNone},
    {"chart05", "x-office-drawing", kNone},
    {"chart13", "x-office-document", kNone},
    {"chart6", "utilities-system-monitor;x-office-spreadsheet", kNone},
    {"boxon", "checkbox-checked-symbolic", kNone},
    {"boxoff", "checkbox-symbolic", kNone},
    // The report preview: leave it, and the mark of a page (a tick) or of an unmarked one (a cross).
    {"exit", "application-exit;window-close", QStyle::SP_DialogCloseButton},
    {"marktick", "object-select-symbolic;emblem-ok-symbolic;emblem-default", QStyle::SP_DialogApplyButton},
    {"markcross", "window-close-symbolic;process-stop-symbolic;process-stop", QStyle::SP_DialogCancelButton},
    // Names the windows use for plain meanings (pivot viewer buttons, message boxes).
    {"folder", "folder", QStyle::SP_DirClosedIcon},
    {"folderopen", "folder-open", QStyle::SP_DirOpenIcon},
    {"refresh", "view-refresh", QStyle::SP_BrowserReload},
    {"exclamation", "dialog-warning", QStyle::SP_MessageBoxWarning},
    {"question", "dialog-question", QStyle::SP_MessageBoxQuestion},
    {"hand", "dialog-error", QStyle::SP_MessageBoxCritical},
    {"asterisk", "dialog-information", QStyle::SP_MessageBoxInformation},
    {"information", "dialog-information", QStyle::SP_MessageBoxInformation},
    {"application", "applications-office", QStyle::SP_ComputerIcon},
};

// Icons whose meaning the theme has no picture for, or only a grey one that looks disabled:
// drawn here, in colour, at any size.
enum class Drawn { None, PageUp, PageDown, Tick, Cross, Zoom, BoxTick, BoxCross };

// An icon that paints itself at whatever size it is asked for.
class PaintedIcon : public QIconEngine {
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
};

class DrawnIcon : public PaintedIcon {
public:
    explicit DrawnIcon(Drawn kind) : kind_(kind) {}
    QIconEngine* clone() const override { return new DrawnIcon(kind_); }
    void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->translate(rect.topLeft());
        p->scale(rect.width() / 16.0, rect.height() / 16.0);
        const bool off = mode == QIcon::Disabled;
        const QColor ink = off ? QColor(160, 160, 160) : QColor(40, 40, 40);
        const QColor green = off ? ink : QColor(0, 150, 0);
        const QColor red = off ? ink : QColor(210, 0, 0);
        auto pen = [&](const QColor& c, double w) {
            p->setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p->setBrush(Qt::NoBrush);
        };
        auto chevron = [&](double y, bool up) {
            QPainterPath path;
            path.moveTo(3, up ? y + 3 : y - 3);
            path.lineTo(8, y);
            path.lineTo(13, up ? y + 3 : y - 3);
            p->drawPath(path);
        };
        auto tick = [&](double s, double dx, double dy) {
            QPainterPath path;
            path.moveTo(dx + 2 * s, dy + 8.5 * s);
            path.lineTo(dx + 6 * s, dy + 12.5 * s);
            path.lineTo(dx + 14 * s, dy + 3.5 * s);
            p->drawPath(path);
        };
        auto cross = [&](double a, double b) {
            p->drawLine(QPointF(a, a), QPointF(b, b));
            p->drawLine(QPointF(a, b), QPointF(b, a));
        };
        switch (kind_) {
        case Drawn::PageUp:
        case Drawn::PageDown: {
            // Two chevrons: a page, where the line buttons show one.
            const bool up = kind_ == Drawn::PageUp;
            pen(ink, 2);
            chevron(up ? 3.5 : 6.5, up);
            chevron(up ? 9.5 : 12.5, up);
            break;
        }
        case Drawn::Tick:
            pen(green, 2.4);
            tick(1, 0, 0);
            break;
        case Drawn::Cross:
            pen(red, 2.4);
            cross(3.5, 12.5);
            break;
        case Drawn::Zoom:
            p->setPen(QPen(ink, 1.5));
            p->setBrush(off ? QColor(230, 230, 230) : QColor(190, 220, 255));
            p->drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
            pen(off ? ink : QColor(120, 80, 30), 2.6);
            p->drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
            break;
        case Drawn::BoxTick:
        case Drawn::BoxCross:
            p->setPen(QPen(ink, 1));
            p->setBrush(Qt::white);
            p->drawRect(QRectF(1.5, 1.5, 13, 13));
            if (kind_ == Drawn::BoxTick) {
                pen(green, 2);
                tick(0.75, 2, 2);
            } else {
                pen(red, 2);
                cross(4.5, 11.5);
            }
            break;
        case Drawn::None: break;
        }
        p->restore();
    }

private:
    Drawn kind_;
};

// A column of other icons, each in an equal slice from the top: the query grid's help shows its
// twelve order-code pictures so, beside the twelve lines that explain them.
class StackedIcon : public PaintedIcon {
public:
    explicit StackedIcon(QList<QIcon> icons) : icons_(std::move(icons)) {}
    QIconEngine* clone() const override { return new StackedIcon(icons_); }
    void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        if (icons_.isEmpty()) return;
        const double slice = rect.height() / static_cast<double>(icons_.size());
        const int side = std::max(1, static_cast<int>(std::min<double>(rect.width(), slice)));
        for (int i = 0; i < icons_.size(); ++i) {
            const int top = rect.top() + static_cast<int>(i * slice + (slice - side) / 2);
            icons_[i].paint(p, QRect(rect.left() + (rect.width() - side) / 2, top, side, side), Qt::AlignCenter, mode,
                            state);
        }
    }

private:
    QList<QIcon> icons_;
};

constexpr const char* kQbeOrderCodes[] = {"qbeoff",   "qbeoffup",   "qbeoffdown", "qbeon",    "qbeonup",  "qbeondown",
                                          "qbeonsum", "qbeoncount", "qbeonavrg",  "qbeonmin", "qbeonmax", "qbeonbreak"};

Drawn drawnFor(const QString& key) {
    static const std::pair<const char*, Drawn> kDrawn[] = {
        {"wizpgup", Drawn::PageUp},   {"wizpgdn", Drawn::PageDown}, {"marktick", Drawn::Tick},
        {"markcross", Drawn::Cross},  {"smzoom", Drawn::Zoom},      {"checkall", Drawn::BoxTick},
        {"checkno", Drawn::BoxCross},
    };
    for (const auto& [file, kind] : kDrawn)
        if (key == QLatin1String(file)) return kind;
    return Drawn::None;
}

QString iconKey(const QString& iconFile) {
    QString key = iconFile.trimmed();
    if (key.startsWith(QLatin1String("ICON:"), Qt::CaseInsensitive)) key = key.mid(5);
    while (key.startsWith(QLatin1Char('~'))) key.remove(0, 1);
    key = QFileInfo(key).completeBaseName().isEmpty() ? key : QFileInfo(key).completeBaseName();
    return key.toLower();
}

const IconEntry* findEntry(const QString& key) {
    for (const auto& entry : kIcons)
        if (key == QLatin1String(entry.file)) return &entry;
    return nullptr;
}

}  // namespace

void setUpIconTheme() {
    // Platforms without a desktop theme (offscreen, bare X servers) search no system folders.
    QStringList paths = QIcon::themeSearchPaths();
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!paths.contains(icons) && QDir(icons).exists()) paths << icons;
    }
    QIcon::setThemeSearchPaths(paths);
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QLatin1String("hicolor")) {
        for (const char* theme : {"Adwaita", "breeze", "oxygen", "Tango"}) {
            bool found = false;
            for (const QString& dir : paths)
                found = found || QFileInfo::exists(dir + QLatin1Char('/') + QLatin1String(theme) +
                                                   QStringLiteral("/index.theme"));
            if (found) {
                QIcon::setThemeName(QLatin1String(theme));
                break;
            }
        }
    }
    if (QIcon::fallbackThemeName().isEmpty()) QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

QStringList themeNamesForIcon(const QString& iconFile) {
    const IconEntry* entry = findEntry(iconKey(iconFile));
    if (!entry) return {};
    return QString::fromLatin1(entry->themes).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

QIcon iconFor(const QString& iconFile) {
    QString name = iconFile.trimmed();
    while (name.startsWith(QLatin1Char('~'))) name.remove(0, 1);
    if (name.isEmpty()) return {};
    // A real image file beside the program's data wins over the stand-ins.
    if (name.contains(QLatin1Char('.'))) {
        QString path = name;
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (QFileInfo(path).isFile()) {
            QIcon icon(path);
            if (!icon.availableSizes().isEmpty() || !icon.pixmap(16).isNull()) return icon;
        }
    }
    if (const Drawn drawn = drawnFor(iconKey(iconFile)); drawn != Drawn::None) return QIcon(new DrawnIcon(drawn));
    if (iconKey(iconFile) == QLatin1String("qbeorder")) {
        QList<QIcon> codes;
        for (const char* code : kQbeOrderCodes) codes << iconFor(QLatin1String(code));
        return QIcon(new StackedIcon(codes));
    }
    const IconEntry* entry = findEntry(iconKey(iconFile));
    if (entry) {
        for (const QString& theme : QString::fromLatin1(entry->themes).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QIcon icon = QIcon::fromTheme(theme);
            if (!icon.isNull()) return icon;
        }
        if (entry->standard != kNone && qApp) return QApplication::style()->standardIcon(entry->standard);
        return {};
    }
    // Unknown names may be theme names themselves.
    return QIcon::fromTheme(iconKey(iconFile));
}

}  // namespace rt::qt
