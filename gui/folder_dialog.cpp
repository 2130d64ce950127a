#include "gui/folder_dialog.h"

#include <QFileDialog>

namespace qm::gui {

namespace {

FolderDialog& DialogInUse() {
    static FolderDialog dialog;
    return dialog;
}

} // namespace

QString ChooseFolder(QWidget* owner, const QString& caption, const QString& start) {
    if (DialogInUse())
        return DialogInUse()(owner, caption, start);
    return QFileDialog::getExistingDirectory(owner, caption, start);
}

void SetFolderDialog(FolderDialog dialog) {
    DialogInUse() = std::move(dialog);
}

} // namespace qm::gui
