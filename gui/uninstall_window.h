// The uninstall feedback window the program shows when started with -U: one check box that
// asks to visit the vendor's uninstall page, and Next.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace qm::gui {

class UninstallWindow : public QDialog {
    Q_OBJECT
public:
    UninstallWindow();

    QCheckBox* visitBox() const { return m_visit; }
    QPushButton* nextButton() const { return m_next; }

private:
    QCheckBox* m_visit = nullptr;
    QPushButton* m_next = nullptr;
};

/// Runs the uninstall feedback window (no owner, centred on the screen) to its end: Next opens
/// the uninstall page when the box is ticked; the close box ends without opening anything.
/// Needs a QApplication.
void ShowUninstallFeedback();

/// The whole -U run: a QApplication when none exists yet, the catalogue, then
/// ShowUninstallFeedback. Without a display it prints one line on standard error instead.
void RunUninstallFeedback(int& argc, char** argv);

} // namespace qm::gui
