// VOQKivorant: the display runs on the process main thread, the program on thread 1.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/qt/qt_display.h"
#include "runtime/qt/showcase.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/display.h"
#include "runtime/ui/window.h"

namespace {

struct Options {
    bool showcase = false;
    std::string screenshot;  // with --showcase: grab the frame into this PNG file, then end
};

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--showcase")
            options.showcase = true;
        else if (arg.rfind("--screenshot=", 0) == 0)
            options.screenshot = arg.substr(std::strlen("--screenshot="));
        else if (arg == "--screenshot" && i + 1 < argc)
            options.screenshot = argv[++i];
    }
    return options;
}

// Waits until the showcase window is on the screen and painted, grabs the frame and closes it.
void scheduleScreenshot(rt::qt::QtDisplay& display, const std::string& file)
{
    auto* timer = new QTimer(qApp);
    auto shownSince = std::make_shared<std::chrono::steady_clock::time_point>();
    auto started = std::chrono::steady_clock::now();
    QObject::connect(timer, &QTimer::timeout, timer, [&display, file, timer, shownSince, started] {
        const auto now = std::chrono::steady_clock::now();
        rt::WindowId frame = 0;
        bool childShown = false;
        for (const auto& w : rt::openWindows()) {
            if (w.procedure == rt::qt::kShowcaseFrameProcedure)
                frame = w.id;
            if (w.procedure == rt::qt::kShowcaseProcedure && display.windowWidget(w.id))
                childShown = true;
        }
        if (!childShown || !display.frameWidget()) {
            if (now - started > std::chrono::seconds(30)) {
                std::fprintf(stderr, "VOQKivorant: the showcase did not open\n");
                timer->stop();
                QCoreApplication::exit(2);
            }
            return;
        }
        if (*shownSince == std::chrono::steady_clock::time_point())
            *shownSince = now;
        if (now - *shownSince < std::chrono::milliseconds(1200))
            return;  // let the windows settle and paint
        timer->stop();
        const QPixmap picture = display.frameWidget()->grab();
        if (!picture.save(QString::fromStdString(file), "PNG")) {
            std::fprintf(stderr, "VOQKivorant: cannot write %s\n", file.c_str());
            QCoreApplication::exit(3);
            return;
        }
        std::fprintf(stderr, "VOQKivorant: screenshot %s (%dx%d)\n", file.c_str(), picture.width(), picture.height());
        rt::post(rt::Event::CloseWindow, 0, frame);
    });
    timer->start(100);
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    if (!options.showcase) {
        std::fprintf(stderr, "VOQKivorant: the main frame is not built yet; nothing to show.\n");
        return 0;
    }
    return rt::qt::runDisplay(argc, argv, [] { rt::qt::runShowcase(); }, [&options](rt::qt::QtDisplay& display) {
        if (!options.screenshot.empty())
            scheduleScreenshot(display, options.screenshot);
    });
}
