// The main window's commands on the file list and the output folder, and drag and drop.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <mutex>
#include <vector>

#include "cli/input_collection.h"
#include "engine/conversion_job.h"
#include "gui/folder_dialog.h"
#include "gui/main_window.h"
#include "gui/output_folder_history.h"
#include "gui/texts.h"

namespace qm::gui {

namespace {

// A dropped folder is imported at once; the conversion-run window puts its own import with a
// progress window in place (SetDroppedFolderImport).
void ImportWithoutProgress() {
    ResetConversionProgress();
    ImportFolder();
}

DroppedFolderImport g_importDroppedFolder = ImportWithoutProgress;

// Paths added to InputList on a worker thread, waiting for the main thread to show them.
std::mutex g_pendingLock;
std::vector<std::string> g_pendingPaths;

QString FolderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QChar('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace

void SetDroppedFolderImport(DroppedFolderImport import) {
    g_importDroppedFolder = import ? import : ImportWithoutProgress;
}

void FlushAddedInputFiles() {
    std::vector<std::string> paths;
    {
        std::lock_guard lock(g_pendingLock);
        paths.swap(g_pendingPaths);
    }
    if (MainWindow* window = TheMainWindow())
        for (const std::string& path : paths)
            window->ShowAddedInputFile(path);
}

void OnInputFileAdded(const std::string& path) {
    if (QThread::currentThread() == qApp->thread()) {
        FlushAddedInputFiles();
        if (MainWindow* window = TheMainWindow())
            window->ShowAddedInputFile(path);
        return;
    }
    bool first;
    {
        std::lock_guard lock(g_pendingLock);
        first = g_pendingPaths.empty();
        g_pendingPaths.push_back(path);
    }
    if (first)
        QMetaObject::invokeMethod(
            qApp, [] { FlushAddedInputFiles(); }, Qt::QueuedConnection);
}

void MainWindow::ShowAddedInputFile(const std::string& path) {
    auto* row = new QTreeWidgetItem(m_fileList);
    row->setText(0, Q(path));
    if (!OutputFolderText().isEmpty())
        return;
    // The first file added while no output folder is chosen decides it: the folder being
    // imported, or else the file's own folder.
    const std::string folder =
        !ConversionJob.InputFolder.empty() ? ConversionJob.InputFolder : U8(FolderPart(Q(path)));
    if (RememberOutputFolder(folder) == 0)
        return;
    ConversionJob.OutputFolder = folder;
    RefreshOutputFolderList();
}

void MainWindow::NewFileList() {
    RefreshOutputFolderList();
    ResetConversionJob();
    m_fileList->clear();
    m_folderCombo->setCurrentIndex(-1);
    SetStatusText(Text("General", "Ready"));
    m_fileList->setFocus();
}

void MainWindow::CopySelection() {
    QString text;
    for (int i = 0; i < m_fileList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_fileList->topLevelItem(i);
        if (row->isSelected())
            text += row->text(0) + "\r\n";
    }
    text.chop(2);
    if (text.isEmpty())
        return;
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

void MainWindow::DeleteSelection() {
    std::vector<int> selected;
    for (int i = 0; i < m_fileList->topLevelItemCount(); ++i)
        if (m_fileList->topLevelItem(i)->isSelected())
            selected.push_back(i);
    if (selected.empty())
        return;
    // Removing the rows from the back keeps the indexes of those still to go; the row that
    // follows the removed ones now sits where the last removed row would have been had they
    // gone one by one from the front.
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        QTreeWidgetItem* row = m_fileList->takeTopLevelItem(*it);
        InputList.Remove(U8(row->text(0)));
        delete row;
    }
    const int count = m_fileList->topLevelItemCount();
    if (count == 0)
        return;
    const int place = std::min(selected.back() - static_cast<int>(selected.size()) + 1, count - 1);
    QTreeWidgetItem* next = m_fileList->topLevelItem(place);
    m_fileList->clearSelection();
    m_fileList->setCurrentItem(next, 0, QItemSelectionModel::NoUpdate);
    next->setSelected(true);
}

void MainWindow::SelectAllFiles() {
    if (m_fileList->topLevelItemCount() == 0)
        return;
    m_fileList->clearSelection();
    m_fileList->selectAll();
}

void MainWindow::SelectOutputFolder() {
    const QString chosen =
        ChooseFolder(this, Text("Dialog", "Select Output Folder"), FolderPart(OutputFolderText()));
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
        QString folder = chosen;
        if (!folder.endsWith(QChar('/')))
            folder += QChar('/');
        RememberOutputFolder(U8(folder));
        ConversionJob.OutputFolder = U8(folder);
        RefreshOutputFolderList();
    }
    LayoutMainWindow();
}

void MainWindow::DropFiles(const QStringList& paths) {
    bool first = true;
    for (QString path : paths) {
        if (!first)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        first = false;
        if (path.isEmpty())
            continue;
        if (QFileInfo(path).isDir()) {
            if (!path.endsWith(QChar('/')))
                path += QChar('/');
            ConversionJob.InputFolder = U8(path);
            g_importDroppedFolder();
            FlushAddedInputFiles();
        }
        AddInputFile(U8(path));
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    DropFiles(paths);
}

} // namespace qm::gui
