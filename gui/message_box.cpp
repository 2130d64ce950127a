#include "gui/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "gui/texts.h"

namespace qm::gui {
namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Error:
        return QMessageBox::Critical;
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

class RealMessageBoxes final : public MessageBoxes {
public:
    bool Show(QWidget* owner, const BoxRequest& request) override {
        const auto buttons = request.buttons == BoxButtons::YesNo
                                 ? QMessageBox::Yes | QMessageBox::No
                                 : QMessageBox::StandardButtons(QMessageBox::Ok);
        QMessageBox box(ToQtIcon(request.icon), request.caption, request.text, buttons, owner);
        const int answer = box.exec();
        return request.buttons == BoxButtons::Ok || answer == QMessageBox::Yes;
    }
};

RealMessageBoxes g_realBoxes;
MessageBoxes* g_boxes = &g_realBoxes;

} // namespace

MessageBoxes& Boxes() {
    return *g_boxes;
}

void SetMessageBoxes(MessageBoxes* boxes) {
    g_boxes = boxes ? boxes : &g_realBoxes;
}

QWidget* BoxOwner() {
    return QApplication::activeWindow();
}

void ShowWarning(const QString& text) {
    Boxes().Show(BoxOwner(), {BoxIcon::Warning, BoxButtons::Ok, Text("Msg", "Warning"), text});
}

void ShowError(const QString& text) {
    Boxes().Show(BoxOwner(), {BoxIcon::Error, BoxButtons::Ok, Text("Msg", "Error"), text});
}

void ShowInfo(const QString& caption, const QString& text) {
    Boxes().Show(BoxOwner(), {BoxIcon::Information, BoxButtons::Ok, caption, text});
}

bool AskYesNo(BoxIcon icon, const QString& caption, const QString& text) {
    return Boxes().Show(BoxOwner(), {icon, BoxButtons::YesNo, caption, text});
}

bool AskBreakConversion() {
    return AskYesNo(BoxIcon::Warning, Text("Msg", "Warning"), Text("Msg", "Ask break conversion"));
}

bool AskBreakImport() {
    return AskYesNo(BoxIcon::Warning, Text("Msg", "Warning"), Text("Msg", "Ask break import"));
}

bool AskBreakExport() {
    return AskYesNo(BoxIcon::Warning, Text("Msg", "Warning"), Text("Msg", "Ask break export"));
}

bool AskOverwriteFile() {
    return AskYesNo(BoxIcon::Warning, Text("Msg", "Warning"), Text("Msg", "Ask overwrite file"));
}

} // namespace qm::gui
