// Runs work on the GUI thread from any thread. The GUI thread never waits on a program thread;
// program threads may wait on the GUI thread (call()), which answers as long as its loop runs.
#pragma once

#include <functional>

namespace rt::qt {

class GuiInvoker {
public:
    // Must be called on the GUI thread after the QApplication exists.
    static void install();
    // Called on the GUI thread when its loop has ended: later posts are dropped, later calls
    // return at once with the fallback.
    static void shutdown();
    static bool onGuiThread();
    static bool running();

    // Queues fn on the GUI thread and returns at once.
    static void post(std::function<void()> fn);
    // Runs fn on the GUI thread and waits for it; on the GUI thread itself it runs directly.
    // Returns false when the GUI is gone and fn did not run.
    static bool call(const std::function<void()>& fn);

    template <typename T>
    static T callValue(const std::function<T()>& fn, T fallback = T()) {
        T result = fallback;
        call([&] { result = fn(); });
        return result;
    }
};

}  // namespace rt::qt
