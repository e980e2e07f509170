// Images: a picture file or an icon, at the size the control shows it, scrolled.
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QStyle>

#include "runtime/qt/controls/control_kind.h"
#include "runtime/qt/icons.h"

namespace rt::qt {

namespace {

// A picture that scrolls stands in a scroll area: its bars and the wheel move it, and where the
// user leaves it goes back to the procedure, so that its keys scroll on from there.
void createImage(Core& core, QtWindow& w, QtControl& c, QWidget* parent) {
    const ControlState& s = c.state;
    if (!s.hscroll && !s.vscroll) {
        auto* label = new QLabel(parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        c.widget = label;
        return;
    }
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    area->setWidgetResizable(false);
    auto* label = new QLabel;
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    area->setWidget(label);
    c.widget = area;
    // Clicks on the picture are the control's.
    core.watchControlWidget(label, s.id);
    core.watchControlWidget(area->viewport(), s.id);
    connectScrolling(core, w, c, area);
}

QLabel* pictureLabel(QWidget* widget) {
    if (auto* area = qobject_cast<QScrollArea*>(widget)) return qobject_cast<QLabel*>(area->widget());
    return qobject_cast<QLabel*>(widget);
}

// The picture read at the shown size (page pictures are SVG and stay sharp at every zoom).
QPixmap readPicture(const QString& name, QSize shown) {
    QString file = name;
    file.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QImageReader reader(file);
    if (reader.canRead()) {
        QSize natural = reader.size();
        if (shown.isValid() || shown.width() > 0 || shown.height() > 0) {
            QSize target = shown;
            if (target.width() <= 0) target.setWidth(natural.width());
            if (target.height() <= 0) target.setHeight(natural.height());
            reader.setScaledSize(target);
        }
        return QPixmap::fromImage(reader.read());
    }
    const QIcon icon = iconFor(name);
    if (!icon.isNull()) return icon.pixmap(shown.isValid() && !shown.isEmpty() ? shown : QSize(32, 32));
    return {};
}

// The whole picture at its virtual size, with the bars the control asks for.
void scrollingLook(QtWindow& w, QtControl& c, QScrollArea& area, QLabel& label) {
    const ControlState& s = c.state;
    area.setHorizontalScrollBarPolicy(s.hscroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(s.vscroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    QSize shown(s.virtualWidth > 0 ? w.units.x(s.virtualWidth) : 0,
                s.virtualHeight > 0 ? w.units.y(s.virtualHeight) : 0);
    // Without a horizontal bar the whole width must show: a picture as wide as the control
    // keeps its shape beside the vertical bar.
    const int across =
        w.units.x(s.width) - (s.vscroll ? area.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &area) : 0);
    if (!s.hscroll && across > 0 && shown.width() > across) {
        if (shown.height() > 0) shown.setHeight(static_cast<int>(1.0 * shown.height() * across / shown.width()));
        shown.setWidth(across);
    }
    const QString key = qs(s.icon) + QLatin1Char('|') + QString::number(shown.width()) + QLatin1Char('x') +
                        QString::number(shown.height());
    if (label.property("rtImage").toString() != key) {
        label.setProperty("rtImage", key);
        QPixmap pixmap;
        if (!s.icon.empty()) pixmap = readPicture(qs(s.icon), shown);
        label.setPixmap(pixmap);
        label.resize(pixmap.isNull() ? QSize(0, 0) : pixmap.size());
    }
    showScrollOffset(w, c, area);
}

void imageLook(Core&, QtWindow& w, QtControl& c) {
    const ControlState& s = c.state;
    QLabel* label = pictureLabel(c.widget);
    if (!label) return;
    if (auto* area = qobject_cast<QScrollArea*>(c.widget)) {
        scrollingLook(w, c, *area, *label);
        return;
    }
    // The shown size: the virtual size, else the control's size unless it scrolls, else the
    // picture's own.
    QSize shown;
    if (s.virtualWidth > 0 || s.virtualHeight > 0)
        shown = QSize(s.virtualWidth > 0 ? w.units.x(s.virtualWidth) : 0,
                      s.virtualHeight > 0 ? w.units.y(s.virtualHeight) : 0);
    else if (s.width > 0 && s.height > 0 && !s.hscroll && !s.vscroll)
        shown = QSize(w.units.x(s.width), w.units.y(s.height));
    const QString key = qs(s.icon) + QLatin1Char('|') + QString::number(shown.width()) + QLatin1Char('x') +
                        QString::number(shown.height()) + QLatin1Char('|') + QString::number(s.scrollX) +
                        QLatin1Char(',') + QString::number(s.scrollY);
    if (label->property("rtImage").toString() == key) return;
    label->setProperty("rtImage", key);
    QPixmap pixmap;
    if (!s.icon.empty()) pixmap = readPicture(qs(s.icon), shown);
    if (!pixmap.isNull() && (s.scrollX || s.scrollY))
        pixmap = pixmap.copy(w.units.x(s.scrollX), w.units.y(s.scrollY), pixmap.width(), pixmap.height());
    label->setPixmap(pixmap);
}

}  // namespace

QSize pictureSize(QWidget* imageWidget) {
    const QLabel* label = pictureLabel(imageWidget);
    return label && !label->pixmap().isNull() ? label->pixmap().size() : QSize();
}

const ControlKindOps kImageOps{.create = createImage, .look = imageLook};

}  // namespace rt::qt
