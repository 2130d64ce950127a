#include "app/startup.h"

#ifdef QM_WITH_GUI
#include "gui/uninstall_window.h"
#include "gui/windowed_start.h"
#endif

int main(int argc, char** argv) {
#ifdef QM_WITH_GUI
    qm::WindowedFrontEnd windowed;
    windowed.run = [&] { qm::gui::RunWindowedInterface(argc, argv); };
    windowed.captureScreenshots = [&](const std::string& folder) {
        qm::gui::CaptureScreenshots(argc, argv, folder);
    };
    windowed.showUninstallFeedback = [&] { qm::gui::RunUninstallFeedback(argc, argv); };
    return qm::RunProgram(argc, argv, windowed);
#else
    return qm::RunProgram(argc, argv);
#endif
}
