// Placing secondary windows.
#pragma once

class QWidget;

namespace qm::gui {

/// Moves `window` so that it is centred over `owner`, or over the primary screen's work area
/// when there is no (visible) owner.
void CentreWindow(QWidget& window, const QWidget* owner);

} // namespace qm::gui
