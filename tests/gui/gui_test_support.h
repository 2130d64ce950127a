// Helpers shared by the tests of runs, imports and exports: a scratch folder, the global
// records reset for the windowed interface, and waiting on Qt without a person.
#pragma once

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "core/formats.h"
#include "core/settings.h"
#include "engine/conversion_job.h"

namespace qm::gui::test {

namespace fs = std::filesystem;

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/qm_gui_XXXXXX";
        root = std::string(mkdtemp(pattern)) + "/";
    }
    ~ScratchFolder() { fs::remove_all(root); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Write(const std::string& relative, std::string_view content = "EMF data") const {
        const fs::path path = root + relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
    std::string Folder(const std::string& relative) const {
        fs::create_directories(root + relative);
        return root + relative;
    }

    std::string root;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The records as a fresh windowed session has them.
inline void ResetRecords() {
    BuildOutputFormats();
    BuildInputExtensions();
    ResetConversionJob();
    ConversionJob.ConsoleRun = 0;
    ResetSettings(Settings, 0);
    ResetConversionProgress();
}

/// Processes events until done() or the time is up; false on time-out.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

/// Asks the window to close as its close box does, once the current event is handled.
inline void PostClose(QWidget* window) {
    QApplication::postEvent(window, new QCloseEvent);
}

/// Saves the window's picture when QM_SCREENSHOT_DIR names a folder.
inline void SaveScreenshot(QWidget* window, const std::string& name) {
    if (const char* folder = std::getenv("QM_SCREENSHOT_DIR"))
        window->grab().save(QString::fromStdString(std::string(folder) + "/" + name));
}

} // namespace qm::gui::test
