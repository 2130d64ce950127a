#include "gui/add_input.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <map>
#include <sys/stat.h>

#include "cli/input_collection.h"
#include "core/formats.h"
#include "engine/conversion_job.h"
#include "gui/file_dialogs.h"
#include "gui/message_box.h"
#include "gui/task_progress.h"
#include "gui/texts.h"
#include "gui/theme.h"
#include "gui/window_ids.h"

namespace qm::gui {

namespace {

// The chooser's close box is one of its events.
class ChooserWindow final : public QDialog {
public:
    explicit ChooserWindow(QWidget* owner) : QDialog(owner) {}
    RunHost* host = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        HandleAddInputChooserEvent(0);
    }
    void reject() override { HandleAddInputChooserEvent(kAddInputEscape); }
};

QPointer<ChooserWindow> g_chooser;

std::string FolderPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

QString ListFileFilter() {
    return Text("Dialog", "Text Files") + "|*.txt;*.lst|" + Text("Dialog", "All Files") +
           " (*.*)|*.*";
}

QString ListStart() {
    return Q(FolderPart(ConversionJob.InputPath)) + "list.txt";
}

void AddImageButton(QDialog& window, int gadget, int labelGadget, QRect button, QRect label,
                    const QIcon& image, const QIcon& fallback, const QString& text) {
    auto* b = new QToolButton(&window);
    b->setObjectName(QString("gadget%1").arg(gadget));
    b->setGeometry(button);
    b->setIcon(image.isNull() ? fallback : image);
    b->setIconSize(QSize(64, 64));
    b->setAutoRaise(false);
    QObject::connect(b, &QToolButton::clicked, [gadget] { HandleAddInputChooserEvent(gadget); });
    auto* l = new QLabel(text, &window);
    l->setObjectName(QString("gadget%1").arg(labelGadget));
    l->setGeometry(label);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    l->setWordWrap(true);
}

} // namespace

QString InputFileFilter() {
    std::vector<std::string> extensions = AcceptedInputExtensions();
    std::sort(extensions.begin(), extensions.end());
    QStringList all;
    std::map<std::string, QStringList> byDescription;
    std::vector<std::string> descriptions; // in the order first met
    for (const std::string& extension : extensions) {
        const QString pattern = "*." + Q(extension);
        all << pattern;
        const InputExtension* row = FindInputExtension(extension);
        const std::string description = row ? row->description : extension;
        if (!byDescription.count(description))
            descriptions.push_back(description);
        byDescription[description] << pattern;
    }
    QString filter = Text("Dialog", "All Supported Files") + "|" + all.join(';');
    for (const std::string& description : descriptions)
        filter += "|" + Q(description) + "|" + byDescription[description].join(';');
    return filter + "|" + Text("Dialog", "All Files") + " (*.*)|*.*";
}

QDialog* AddInputChooser() {
    return g_chooser.data();
}

void ShowAddInputChooser(RunHost& host) {
    if (g_chooser)
        return;
    QWidget* owner = host.Window();
    auto* window = new ChooserWindow(owner);
    g_chooser = window;
    window->host = &host;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QString("window%1").arg(kAddInputWindow));
    window->setWindowTitle(Text("Menu", "Select Input Files"));
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    window->setFixedSize(270, 160);
    const QStyle* style = window->style();
    AddImageButton(*window, kAddFilesButton, kAddFilesLabel, {30, 30, 80, 80}, {10, 120, 120, 30},
                   ThemeIcon(ImageSet::Buttons, "InFiles"),
                   style->standardIcon(QStyle::SP_FileIcon), Text("Menu", "Select Input File"));
    AddImageButton(*window, kAddFolderButton, kAddFolderLabel, {160, 30, 80, 80},
                   {140, 120, 120, 30}, ThemeIcon(ImageSet::Buttons, "InFolder"),
                   style->standardIcon(QStyle::SP_DirIcon), Text("Menu", "Select Input Folder"));
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    window->activateWindow();
    if (QWidget* first = window->findChild<QWidget*>(QString("gadget%1").arg(kAddFilesButton)))
        first->setFocus();
}

void HandleAddInputChooserEvent(int gadget) {
    ChooserWindow* window = g_chooser.data();
    if (window == nullptr)
        return;
    RunHost& host = *window->host;
    if (gadget == kAddFilesButton || gadget == kAddFolderButton) {
        window->hide();
        if (gadget == kAddFilesButton)
            AddInputFiles(host);
        else
            AddInputFolder(host);
    }
    g_chooser = nullptr;
    if (QWidget* owner = host.Window()) {
        owner->activateWindow();
        owner->setFocus();
    }
    window->hide();
    window->deleteLater();
}

int AddInputFiles(RunHost& host) {
    const QStringList files = Dialogs().OpenFiles(
        host.Window(), {Text("Dialog", "Select Input Files"), Q(ConversionJob.InputPath),
                        QtFilter(InputFileFilter())});
    int added = 0;
    for (const QString& file : files) {
        if (AddInputFile(U8(file)) == 1)
            added = 1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    if (!files.isEmpty())
        ConversionJob.InputPath = U8(files.back());
    host.Relayout();
    return added;
}

int AddInputFolder(RunHost& host) {
    std::string start = ConversionJob.InputFolder;
    if (start.empty() && !ConversionJob.InputPath.empty())
        start = FolderPart(ConversionJob.InputPath);
    std::string folder =
        U8(Dialogs().Folder(host.Window(), {Text("Dialog", "Select Input Folder"), Q(start), {}}));
    if (folder.empty() || !IsFolder(folder))
        return 0;
    if (folder.back() != '/')
        folder += '/';
    ConversionJob.InputFolder = folder;
    ImportFolderWithProgress(host);
    return 1;
}

int ImportInputList(RunHost& host) {
    const std::string file =
        U8(Dialogs().OpenFile(host.Window(), {Text("Dialog", "Import Input Files"), ListStart(),
                                              QtFilter(ListFileFilter())}));
    if (file.empty() || FileSize(file) <= 0)
        return 0;
    ConversionJob.InputPath = file;
    // Files of a listed folder are taken flat, whatever folder was imported before.
    const std::string folder = std::exchange(ConversionJob.InputFolder, std::string());
    RunWithProgress(ProgressTask::ListImport, host);
    ConversionJob.InputFolder = folder;
    return 1;
}

int ExportInputList(RunHost& host) {
    if (host.FileListRows().empty()) {
        ShowWarning(Text("Msg", "Empty input files"));
        return 0;
    }
    QString name = Dialogs().SaveFile(host.Window(), {Text("Dialog", "Export Input Files"),
                                                      ListStart(), QtFilter(ListFileFilter())});
    if (name.isEmpty())
        return 0;
    if (QFileInfo(name).suffix().isEmpty())
        name += ".txt";
    const std::string path = U8(name);
    if (FileSize(path) > 0 && !AskOverwriteFile())
        return 0;
    ConversionJob.InputPath = path;
    RunWithProgress(ProgressTask::Export, host);
    return 1;
}

} // namespace qm::gui
