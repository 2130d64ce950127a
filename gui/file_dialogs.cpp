#include "gui/file_dialogs.h"

#include <QFileDialog>

namespace qm::gui {
namespace {

class RealFileDialogs final : public FileDialogs {
public:
    QStringList OpenFiles(QWidget* owner, const DialogRequest& r) override {
        return QFileDialog::getOpenFileNames(owner, r.title, r.start, r.filter, nullptr,
                                             QFileDialog::HideNameFilterDetails);
    }
    QString OpenFile(QWidget* owner, const DialogRequest& r) override {
        return QFileDialog::getOpenFileName(owner, r.title, r.start, r.filter, nullptr,
                                            QFileDialog::HideNameFilterDetails);
    }
    QString SaveFile(QWidget* owner, const DialogRequest& r) override {
        // The overwrite question is the program's own (an empty file is replaced silently).
        return QFileDialog::getSaveFileName(owner, r.title, r.start, r.filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite |
                                                QFileDialog::HideNameFilterDetails);
    }
    QString Folder(QWidget* owner, const DialogRequest& r) override {
        return QFileDialog::getExistingDirectory(owner, r.title, r.start);
    }
};

RealFileDialogs g_realDialogs;
FileDialogs* g_dialogs = &g_realDialogs;

// "*.*" means every file; "*.emf" also shows X.EMF and x.Emf, which are accepted as well.
QString AnyCasePattern(const QString& pattern) {
    if (pattern == "*.*")
        return "*";
    QString result;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            result += QString("[%1%2]").arg(c.toLower()).arg(c.toUpper());
        else
            result += c;
    }
    return result;
}

} // namespace

FileDialogs& Dialogs() {
    return *g_dialogs;
}

void SetFileDialogs(FileDialogs* dialogs) {
    g_dialogs = dialogs ? dialogs : &g_realDialogs;
}

QString QtFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Qt reads the patterns from the brackets, so a name like "All Files (*.*)" loses its own.
        QString name = parts[i];
        if (name.endsWith(')') && name.contains('('))
            name = name.left(name.lastIndexOf('(')).trimmed();
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts))
            patterns << AnyCasePattern(pattern);
        entries << name + " (" + patterns.join(' ') + ")";
    }
    return entries.join(";;");
}

} // namespace qm::gui
