#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTranslator>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>

#include "runtime/os/program_end.h"
#include "runtime/thread/thread.h"
#include "runtime/ui/window.h"

#include "runtime/qt/fonts.h"
#include "runtime/qt/gui_invoker.h"
#include "runtime/qt/icons.h"
#include "runtime/qt/qt_display.h"

namespace rt::qt {

namespace {

void onTerminate() {
    std::string what = "Unbekannter Programmfehler";
    if (auto current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            what = std::string("Programmfehler: ") + e.what();
        } catch (...) {
        }
    }
    reportFatal(what, 70);
}

extern "C" void onCrashSignal(int signal) {
    // Only what is safe in a signal handler: a line on standard error, then the end.
    const char* name = signal == SIGSEGV  ? "SIGSEGV"
                       : signal == SIGBUS ? "SIGBUS"
                       : signal == SIGFPE ? "SIGFPE"
                       : signal == SIGILL ? "SIGILL"
                                          : "SIGABRT";
    const char head[] = "VOQKivorant: Programmabbruch durch Signal ";
    ssize_t ignored = ::write(2, head, sizeof head - 1);
    ignored = ::write(2, name, std::strlen(name));
    ignored = ::write(2, "\n", 1);
    (void)ignored;
    std::_Exit(128 + signal);
}

}  // namespace

void setUpApplication(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setFont(defaultWindowFont());
    QApplication::setApplicationName(QStringLiteral("VOQKivorant"));
    setUpIconTheme();
    // The application icon of every window that has none of its own.
    QApplication::setWindowIcon(iconFor(QStringLiteral("WWS.ICO")));
    // The program speaks German: so do the standard buttons and dialogs.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    GuiInvoker::install();
    std::set_terminate(onTerminate);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal, onCrashSignal);
}

int runDisplay(int& argc, char** argv, std::function<void()> program, std::function<void(QtDisplay&)> started) {
    const bool platformGiven = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    bool platformArgument = false;
    for (int i = 1; i < argc; ++i) platformArgument = platformArgument || std::strcmp(argv[i], "-platform") == 0;
    if (!platformGiven && !platformArgument && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "VOQKivorant: no display to show the windows on (start it under xvfb-run, "
                     "or with QT_QPA_PLATFORM=offscreen)\n");
        return 1;
    }

    QApplication app(argc, argv);
    setUpApplication(app);
    auto* display = new QtDisplay;
    rt::setDisplay(display);

    // A procedure ended by an exception on any program thread leaves the program in a state
    // nobody planned for: report it and end, as for thread 1.
    rt::setProcedureFailureHandler([](int, const std::string& what) {
        reportFatal(what.empty() ? std::string("Unbekannter Programmfehler") : "Programmfehler: " + what);
    });

    // Thread 1: the program. When it returns, the program ends.
    rt::startThread([program = std::move(program)] {
        try {
            program();
        } catch (const std::exception& e) {
            reportFatal(std::string("Programmfehler: ") + e.what());
        } catch (...) {
            reportFatal("Unbekannter Programmfehler");
        }
        GuiInvoker::post([] { QCoreApplication::exit(0); });
    });
    if (started) started(*display);

    const int code = app.exec();

    // Windows still open are told that the program closes down; threads waiting for an answer
    // get "cancelled"; then they get a moment to end.
    for (const auto& w : rt::openWindows()) rt::post(rt::Event::CloseDown, 0, w.id);
    display->dismissPrompts();
    GuiInvoker::shutdown();
    if (!rt::waitAllThreads(std::chrono::seconds(5))) {
        std::fprintf(stderr, "VOQKivorant: program threads did not end\n");
        rt::endProgram(code ? code : 1);
    }
    rt::setDisplay(nullptr);
    delete display;
    return code;
}

void reportFatal(const std::string& what, int exitCode) {
    std::fprintf(stderr, "VOQKivorant: %s\n", what.c_str());
    std::fflush(stderr);
    static std::atomic<bool> reporting{false};
    if (!reporting.exchange(true) && GuiInvoker::running() && !qEnvironmentVariableIsSet("VOQ_NO_FATAL_BOX")) {
        const QString text = QString::fromStdString(what) + QStringLiteral("\n\nDas Programm wird beendet.");
        GuiInvoker::call([&] { QMessageBox::critical(nullptr, QStringLiteral("VOQKivorant"), text); });
    }
    // Other threads may hold locks or half-done state: end without running their destructors.
    rt::endProgram(exitCode);
}

}  // namespace rt::qt
