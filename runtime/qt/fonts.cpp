#include "runtime/qt/fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cmath>

namespace rt::qt {

namespace {

struct FamilyMap {
    const char* from;
    const char* to;
};

// Lower-case names; the faces these stand in for share their metrics.
constexpr FamilyMap kFamilies[] = {
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"ms sans serif", "Liberation Sans"},
    {"microsoft sans serif", "Liberation Sans"},
    {"ms shell dlg", "Liberation Sans"},
    {"ms shell dlg 2", "Liberation Sans"},
    {"tahoma", "DejaVu Sans"},
    {"verdana", "DejaVu Sans"},
    {"segoe ui", "DejaVu Sans"},
    {"arial narrow", "Liberation Sans Narrow"},
    {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"ms serif", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"fixedsys", "DejaVu Sans Mono"},
    {"terminal", "DejaVu Sans Mono"},
    {"lucida console", "DejaVu Sans Mono"},
    {"consolas", "DejaVu Sans Mono"},
};

bool installed(const QString& family) { return QFontDatabase::hasFamily(family); }

}  // namespace

QString mapFontFamily(const QString& family) {
    const QString key = family.trimmed().toLower();
    if (key.isEmpty())
        return installed("Liberation Sans") ? QStringLiteral("Liberation Sans") : QStringLiteral("DejaVu Sans");
    for (const auto& entry : kFamilies) {
        if (key == QLatin1String(entry.from)) {
            const QString to = QString::fromLatin1(entry.to);
            if (installed(to)) return to;
            return key.contains("mono") || key.contains("courier") || key == "fixedsys"
                       ? QStringLiteral("DejaVu Sans Mono")
                       : QStringLiteral("DejaVu Sans");
        }
    }
    if (installed(family.trimmed())) return family.trimmed();
    return QStringLiteral("DejaVu Sans");
}

QFont defaultWindowFont() {
    QFont font(mapFontFamily(QString()));
    font.setPointSize(8);
    return font;
}

QFont windowFont(const QString& family, int points, bool bold, bool italic, bool underline) {
    QFont font = defaultWindowFont();
    if (!family.trimmed().isEmpty()) font.setFamily(mapFontFamily(family));
    if (points > 0) font.setPointSize(points);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

FontUnits::FontUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // The classic rounding: (width of the 52 letters / 26 + 1) / 2.
    baseX_ = std::max(1, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
}

int FontUnits::x(int du) const { return static_cast<int>(std::lround(du * baseX_ / 4.0)); }

int FontUnits::y(int du) const { return static_cast<int>(std::lround(du * baseY_ / 8.0)); }

int FontUnits::toX(int px) const { return static_cast<int>(std::lround(px * 4.0 / baseX_)); }

int FontUnits::toY(int px) const { return static_cast<int>(std::lround(px * 8.0 / baseY_)); }

}  // namespace rt::qt
