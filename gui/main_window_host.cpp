#include "gui/main_window_host.h"

#include <QTreeWidget>

#include "gui/main_window.h"
#include "gui/output_folder_history.h"
#include "gui/task_progress.h"
#include "gui/texts.h"

namespace qm::gui {

namespace {

class Host final : public RunHost {
public:
    QWidget* Window() override { return TheMainWindow(); }
    QString OutputFolderText() override {
        MainWindow* w = TheMainWindow();
        return w ? w->OutputFolderText() : QString();
    }
    std::string SelectedFormatId() override {
        MainWindow* w = TheMainWindow();
        return w ? w->SelectedFormatId() : std::string();
    }
    void SetStatusText(const QString& text) override {
        if (MainWindow* w = TheMainWindow())
            w->SetStatusText(text);
    }
    void RememberOutputFolder(const std::string& folder) override {
        gui::RememberOutputFolder(folder);
        if (MainWindow* w = TheMainWindow())
            w->RefreshOutputFolderList();
    }
    std::vector<std::string> FileListRows() override {
        std::vector<std::string> rows;
        if (MainWindow* w = TheMainWindow()) {
            const QTreeWidget* list = w->FileList();
            rows.reserve(static_cast<size_t>(list->topLevelItemCount()));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                rows.push_back(U8(list->topLevelItem(i)->text(0)));
        }
        return rows;
    }
    void Relayout() override {
        if (MainWindow* w = TheMainWindow())
            w->LayoutMainWindow();
    }
};

} // namespace

RunHost& MainWindowHost() {
    static Host host;
    return host;
}

void ImportDroppedFolderWithProgress() {
    ImportFolderWithProgress(MainWindowHost());
}

} // namespace qm::gui
