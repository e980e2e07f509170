#pragma once
// GUI checks in the real Qt front end: steps run one after the other on the GUI thread while
// the program runs, and window grabs saved as PNG are checked to show a real window.
#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace voq::test {

// Big enough and not nearly blank.
inline bool looksLikeAWindow(const std::string& file, int minWidth, int minHeight) {
    QImage image(QString::fromStdString(file));
    if (image.isNull() || image.width() < minWidth || image.height() < minHeight) return false;
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    std::fprintf(stderr, "%s: %dx%d, %zu colours\n", file.c_str(), image.width(), image.height(), colours.size());
    return colours.size() > 8;
}

enum class GuiStep { Wait, Done, Failed };

// Runs the steps in order, each once the windows had `settle` to paint after the one before;
// a step answering Wait is tried again. A failed step ends the application with 3, steps not
// finished within `limit` end it with 2 (saying `what` did not happen).
inline void runGuiSteps(std::vector<std::function<GuiStep()>> steps, std::chrono::milliseconds settle,
                        std::chrono::seconds limit, std::string what) {
    auto* timer = new QTimer(qApp);
    auto next = std::make_shared<std::size_t>(0);
    auto since = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    const auto started = std::chrono::steady_clock::now();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        const auto now = std::chrono::steady_clock::now();
        if (now - started > limit) {
            std::fprintf(stderr, "%s\n", what.c_str());
            timer->stop();
            QCoreApplication::exit(2);
            return;
        }
        if (now - *since < settle) return;
        switch (steps[*next]()) {
        case GuiStep::Wait: return;
        case GuiStep::Failed:
            timer->stop();
            QCoreApplication::exit(3);
            return;
        case GuiStep::Done: break;
        }
        *since = now;
        if (++*next == steps.size()) timer->stop();
    });
    timer->start(100);
}

}  // namespace voq::test
