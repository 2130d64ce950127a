#include "gui/centre_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qm::gui {

void CentreWindow(QWidget& window, const QWidget* owner) {
    QRect area;
    if (owner && owner->isVisible())
        area = owner->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    const QSize size = window.frameGeometry().size().expandedTo(window.size());
    window.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace qm::gui
