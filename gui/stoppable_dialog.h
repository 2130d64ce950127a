// A progress window whose close box and Escape key ask the running task to stop instead of
// closing the window; the task closes it when it has ended.
#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <functional>

namespace qm::gui {

class StoppableDialog final : public QDialog {
public:
    explicit StoppableDialog(QWidget* owner) : QDialog(owner) {}
    /// Called for the close box and for Escape.
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (onClose)
            onClose();
    }
    void reject() override {
        if (onClose)
            onClose();
    }
};

} // namespace qm::gui
