// Pictures of the About, converter search and uninstall windows, and a check that no text in
// them is cut off. The pictures go to $QM_SCREENSHOT_DIR (docs/screenshots when refreshing
// them), else into the build tree.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionButton>
#include <cstdlib>

#include "gui/about_window.h"
#include "gui/find_converter_window.h"
#include "gui/uninstall_window.h"

namespace qm::gui {
namespace {

QString ScreenshotFolder() {
    const char* folder = std::getenv("QM_SCREENSHOT_DIR");
    const QString path =
        folder && *folder ? QString(folder) : QString(QM_BINARY_DIR "/screenshots");
    QDir().mkpath(path);
    return path;
}

void Save(QWidget& window, const QString& name) {
    QApplication::processEvents();
    const QPixmap picture = window.grab();
    EXPECT_TRUE(picture.save(ScreenshotFolder() + "/" + name)) << name.toStdString();
}

// Every text of the window fits the control that shows it, and no two controls overlap.
void ExpectNothingCutOffOrOverlapping(QWidget& window) {
    std::vector<QWidget*> controls;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_LE(needed, label->contentsRect().width()) << label->text().toStdString();
        EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height())
            << label->text().toStdString();
        controls.push_back(label);
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
        controls.push_back(button);
    }
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " "
                << controls[j]->objectName().toStdString();
}

TEST(AboutScreenshots, AboutWindow) {
    QMainWindow owner;
    owner.resize(510, 330);
    owner.show();
    QPointer<AboutWindow> window = ShowAbout(&owner);
    ExpectNothingCutOffOrOverlapping(*window);
    Save(*window, "about.png");
    window->close();
}

TEST(AboutScreenshots, FindConverterWindow) {
    QMainWindow owner;
    owner.resize(510, 330);
    owner.show();
    QPointer<FindConverterWindow> window = ShowFindConverter(&owner);
    ExpectNothingCutOffOrOverlapping(*window);
    Save(*window, "find-converter.png");
    window->close();
}

TEST(AboutScreenshots, UninstallWindow) {
    UninstallWindow window;
    window.show();
    ExpectNothingCutOffOrOverlapping(window);
    Save(window, "uninstall.png");
}

} // namespace
} // namespace qm::gui
