// The windowed front end's start and end, and the screenshot mode. The only places that create
// the QApplication: a console run never gets here.
#pragma once

#include <string>

namespace qm::gui {

/// True when a window can be shown: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set.
bool DisplayAvailable();

/// The windowed start: settings and catalogue, themes, the main window and its event loop;
/// at exit the window state and the settings are stored. Without a display it prints one line
/// on standard error and returns.
void RunWindowedInterface(int& argc, char** argv);

/// Screenshot mode: shows the main window with example inputs at 400, 400 in 510 x 330, copies
/// its client area after 500 ms, writes the web address on it and saves it as JPEG (quality 90)
/// to folder + "pirelo1.jpg" and, 180 pixels wide, to folder + "pirelo1x.jpg". An empty folder
/// means the program's folder; a folder that does not exist ends the mode without output.
void CaptureScreenshots(int& argc, char** argv, const std::string& folder);

} // namespace qm::gui
