// Fonts named by the windows, mapped to the fonts installed here, and dialog units.
#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace rt::qt {

// The installed family standing in for a family a window names ("MS Sans Serif", "Arial",
// "Courier New", "Fixedsys", ...): metric-compatible Liberation faces first, DejaVu otherwise.
QString mapFontFamily(const QString& family);

// The font of windows that name none: the sans face at 8 points.
QFont defaultWindowFont();

// A font for a window or control: family mapped, size in points (0 keeps the default size),
// style bits as the model gives them.
QFont windowFont(const QString& family, int points, bool bold, bool italic, bool underline);

// Dialog units of a font: a horizontal unit is a quarter of the average character width,
// a vertical unit an eighth of the character height.
class FontUnits {
public:
    explicit FontUnits(const QFont& font);
    int x(int du) const;
    int y(int du) const;
    QPoint point(int x, int y) const { return {this->x(x), this->y(y)}; }
    QSize size(int w, int h) const { return {x(w), y(h)}; }
    QRect rect(int x, int y, int w, int h) const { return {point(x, y), size(w, h)}; }
    // Back from pixels (rounded), for sizes the user changed.
    int toX(int px) const;
    int toY(int px) const;
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};

}  // namespace rt::qt
