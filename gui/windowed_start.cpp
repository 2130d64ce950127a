#include "gui/windowed_start.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "cli/input_collection.h"
#include "core/settings.h"
#include "gui/main_window.h"
#include "gui/theme.h"

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
    QApplication app(argc, argv);
    TakeDesktopSize();
    LoadWindowedSettings();
    SetInputFileAddedHook(OnInputFileAdded);
    FreeThemeImages();
    ListThemes();
    LoadTheme(true, true, true);

    CreateMainWindow();
    ShowMainWindow();
    QApplication::exec();

    RecordWindowState(*TheMainWindow());
    DestroyMainWindow();
    SetInputFileAddedHook(nullptr);
    FreeThemeImages();
    SaveWindowedSettings();
}

} // namespace qm::gui
