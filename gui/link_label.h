// A text that acts as a hyperlink: blue (also under the pointer), a hand pointer, a click
// signal; Space activates it when it has the focus.
#pragma once

#include <QLabel>

namespace qm::gui {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace qm::gui
