#include "gui/windowed_start.h"

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "app/startup.h"
#include "cli/input_collection.h"
#include "core/settings.h"
#include "gui/main_window.h"
#include "gui/theme.h"
#include "gui/update_check.h"

namespace qm::gui {

namespace {

bool EnvironmentSet(const char* name) {
    const char* value = getenv(name);
    return value && *value;
}

void TakeDesktopSize() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        SetDesktopSize(desktop.width(), desktop.height());
    }
}

// SIGTERM, SIGINT and SIGHUP (a logout, kill, Ctrl+C in the starting terminal) close the main
// window as its Close command does, so the window state and the settings are still stored.
// The handler only writes a byte into a pipe; the event loop reads it.
int g_closePipe[2] = {-1, -1};

void OnCloseSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_closePipe[1], &byte, 1);
}

class CloseOnSignal {
public:
    // The handlers go in before the application exists, so a signal during the start is kept
    // in the pipe and closes the window as soon as the event loop runs.
    CloseOnSignal() {
        if (pipe2(g_closePipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction action {};
        action.sa_handler = OnCloseSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            sigaction(signal, &action, nullptr);
    }
    ~CloseOnSignal() {
        if (g_closePipe[0] < 0)
            return;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            std::signal(signal, SIG_DFL);
        close(g_closePipe[0]);
        close(g_closePipe[1]);
        g_closePipe[0] = g_closePipe[1] = -1;
    }
    CloseOnSignal(const CloseOnSignal&) = delete;
    CloseOnSignal& operator=(const CloseOnSignal&) = delete;

    /// Lets the application's event loop watch the pipe (the notifier belongs to app).
    void Watch(QApplication& app) {
        if (g_closePipe[0] < 0)
            return;
        auto* notifier = new QSocketNotifier(g_closePipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char buffer[16];
            while (read(g_closePipe[0], buffer, sizeof buffer) > 0) {
            }
            QApplication::closeAllWindows();
            QApplication::quit();
        });
    }
};

} // namespace

bool DisplayAvailable() {
    return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") ||
           EnvironmentSet("QT_QPA_PLATFORM");
}

void RunWindowedInterface(int& argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fputs("quellmark: no display to open the window on (DISPLAY is not set); "
                   "convert on the console with -i\n",
                   stderr);
        return;
    }
    CloseOnSignal closeOnSignal;
    QApplication app(argc, argv);
    closeOnSignal.Watch(app);
    TakeDesktopSize();
    LoadWindowedSettings();
    SetInputFileAddedHook(OnInputFileAdded);
    FreeThemeImages();
    ListThemes();
    LoadTheme(true, true, true);
    // The program's own icon on every window, and the desktop entry that task bars match.
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("quellmark"));

    CreateMainWindow();
    ShowMainWindow();
    AutoUpdateCheck();
    QApplication::exec();

    RecordWindowState(*TheMainWindow());
    DestroyMainWindow();
    SetInputFileAddedHook(nullptr);
    FreeThemeImages();
    SaveWindowedSettings();
}

} // namespace qm::gui
