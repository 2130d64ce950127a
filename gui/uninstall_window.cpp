#include "gui/uninstall_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <cstdio>
#include <memory>

#include "core/catalogue.h"
#include "core/vendor_addresses.h"
#include "gui/centre_window.h"
#include "gui/texts.h"
#include "gui/windowed_start.h"
#include "platform/shell/shell_open.h"

namespace qm::gui {

UninstallWindow::UninstallWindow()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
    setObjectName("UninstallWindow");
    setWindowTitle(Text("Uninstall", "Title"));
    setFixedSize(300, 100);

    m_visit = new QCheckBox(Text("Uninstall", "Uninstall Text"), this);
    m_visit->setGeometry(30, 20, 250, 20);
    m_visit->setChecked(true);
    m_next = new QPushButton(Text("Uninstall", "Next"), this);
    m_next->setGeometry(200, 60, 80, 25);
    m_next->setDefault(true);

    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_visit->isChecked())
            OpenWithShell(VendorUninstallPage);
        accept();
    });
}

void ShowUninstallFeedback() {
    UninstallWindow window;
    CentreWindow(window, nullptr);
    window.activateWindow();
    window.exec();
}

void RunUninstallFeedback(int& argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fputs("quellmark: no display to open the window on (DISPLAY is not set)\n", stderr);
        return;
    }
    std::unique_ptr<QApplication> app;
    if (!QApplication::instance())
        app = std::make_unique<QApplication>(argc, argv);
    LoadCatalogue();
    ShowUninstallFeedback();
}

} // namespace qm::gui
