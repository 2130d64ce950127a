// The system's file and folder dialogs, behind an interface that tests replace with scripted
// answers (as message boxes are).
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace qm::gui {

/// One dialog request. The filter is in Qt's syntax ("Name (*.a *.b);;Other (*)").
struct DialogRequest {
    QString title;
    QString start; // a folder, or a file whose folder the dialog opens in
    QString filter;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    /// Several existing files, in the dialog's order; empty when cancelled.
    virtual QStringList OpenFiles(QWidget* owner, const DialogRequest& request) = 0;
    /// One existing file; empty when cancelled.
    virtual QString OpenFile(QWidget* owner, const DialogRequest& request) = 0;
    /// A name to save under (it need not exist); empty when cancelled.
    virtual QString SaveFile(QWidget* owner, const DialogRequest& request) = 0;
    /// A folder; empty when cancelled.
    virtual QString Folder(QWidget* owner, const DialogRequest& request) = 0;
};

/// The dialogs in use. SetFileDialogs(nullptr) puts the real ones back.
FileDialogs& Dialogs();
void SetFileDialogs(FileDialogs* dialogs);

/// A filter written as "Name|patterns|Name|patterns" with patterns joined by ";" turned into
/// Qt's syntax: "Name (p1 p2);;Name (p3)". Patterns match any letter case ("*.emf" becomes
/// "*.[eE][mM][fF]"), "*.*" becomes "*", and brackets already in a name are dropped.
QString QtFilter(const QString& pipeFilter);

} // namespace qm::gui
