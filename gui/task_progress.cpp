#include "gui/task_progress.h"

#include <QEventLoop>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <dirent.h>
#include <mutex>

#include "cli/input_collection.h"
#include "cli/input_list_export.h"
#include "cli/line_feeds.h"
#include "engine/conversion_job.h"
#include "gui/message_box.h"
#include "gui/stoppable_dialog.h"
#include "gui/texts.h"
#include "gui/window_ids.h"
#include "gui/worker_thread.h"

namespace qm::gui {

namespace {

constexpr int kPollMilliseconds = 15;

std::function<void(QDialog*)> g_startedHook;
int g_holdMilliseconds = 700;

struct TaskLook {
    int window;
    int bar;
    const char* caption;
    bool (*ask)();
    const char* stopped;
    const char* done;
};

TaskLook LookOf(ProgressTask task) {
    switch (task) {
    case ProgressTask::FolderImport:
        return {kFolderImportWindow, kFolderImportBar,         "Import Progress",
                AskBreakImport,      "Import is not complete", "Import complete"};
    case ProgressTask::ListImport:
        return {kListImportWindow, kListImportBar,           "Import Progress",
                AskBreakImport,    "Import is not complete", "Import complete"};
    case ProgressTask::Export:
        break;
    }
    return {
        kExportWindow,    kExportBar, "Export Progress", AskBreakExport, "Export is not complete",
        "Export complete"};
}

int TopLevelEntries(const std::string& folder) {
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != ".." && count < INT_MAX)
            ++count;
    }
    closedir(dir);
    return count;
}

// Files that an import adds on the worker thread reach the main window's list through here:
// queued by the worker, handed on by the interface thread at each poll.
std::mutex g_addedLock;
std::vector<std::string> g_added;
InputFileAddedHook g_windowHook = nullptr;

void QueueAddedFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_addedLock);
    g_added.push_back(path);
}

void DeliverAddedFiles() {
    std::vector<std::string> added;
    {
        std::lock_guard<std::mutex> lock(g_addedLock);
        added.swap(g_added);
    }
    if (g_windowHook != nullptr)
        for (const std::string& path : added)
            g_windowHook(path);
}

class TaskRun {
public:
    TaskRun(ProgressTask task, RunHost& host)
        : m_task(task), m_look(LookOf(task)), m_host(host), m_window(host.Window()) {}

    int32_t Run() {
        Open();
        m_rows =
            m_task == ProgressTask::Export ? m_host.FileListRows() : std::vector<std::string>{};
        m_maximum = TaskMaximum(m_task, m_rows);
        m_bar->setMaximum(std::max(1, m_maximum));
        StartWorker();
        if (g_startedHook)
            g_startedHook(&m_window);
        QEventLoop loop;
        m_quit = [&loop] { loop.quit(); };
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this] { Poll(); });
        poll.start(kPollMilliseconds);
        if (!m_finished)
            loop.exec();
        poll.stop();
        Hold();
        Close();
        return m_count;
    }

private:
    void Open() {
        m_window.setObjectName(QString("window%1").arg(m_look.window));
        m_window.setWindowTitle(Text("Dialog", m_look.caption));
        m_window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowCloseButtonHint);
        m_window.setFixedSize(300, 40);
        m_bar = new QProgressBar(&m_window);
        m_bar->setObjectName(QString("gadget%1").arg(m_look.bar));
        m_bar->setGeometry(10, 10, 280, 20);
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
        m_bar->setTextVisible(false);
        m_window.onClose = [this] { OnClose(); };
        m_window.setWindowModality(Qt::ApplicationModal);
        m_window.show();
        m_window.activateWindow();
        m_window.setFocus();
    }

    void StartWorker() {
        ResetConversionProgress();
        if (m_task != ProgressTask::Export) {
            g_windowHook = SetInputFileAddedHook(QueueAddedFile);
            m_hookSwapped = true;
        }
        m_worker.Start([this] {
            switch (m_task) {
            case ProgressTask::FolderImport:
                ImportFolder();
                break;
            case ProgressTask::ListImport:
                ImportListFile();
                break;
            case ProgressTask::Export:
                ExportListWorker(m_rows);
                break;
            }
        });
    }

    void Poll() {
        if (m_asking || m_finished || !m_worker.Running())
            return;
        DeliverAddedFiles();
        if (!m_worker.Finished()) {
            int32_t started = 0;
            {
                std::lock_guard<std::mutex> lock(ProgressLock);
                started = ConversionProgress.FilesStarted;
            }
            if (started > m_bar->value())
                m_bar->setValue(std::min(started, m_bar->maximum()));
            return;
        }
        m_worker.Join();
        DeliverAddedFiles();
        {
            std::lock_guard<std::mutex> lock(ProgressLock);
            m_count = ConversionProgress.FilesConverted;
        }
        if (m_stopped) {
            m_host.SetStatusText(Text("Msg", m_look.stopped));
        } else {
            m_host.SetStatusText(TextWith("Msg", m_look.done, QString::number(m_count)));
            m_bar->setValue(m_bar->maximum());
        }
        Finish();
    }

    void OnClose() {
        if (m_finished || m_asking)
            return;
        if (!m_worker.Running()) {
            Finish();
            return;
        }
        // The worker takes no further unit while the question is on screen.
        m_asking = true;
        ConversionProgress.Pause.Close();
        const bool stop = m_look.ask();
        if (stop) {
            m_stopped = true;
            std::lock_guard<std::mutex> lock(ProgressLock);
            ConversionProgress.KeepRunning = 0;
        }
        ConversionProgress.Pause.Open();
        m_asking = false;
    }

    void Finish() {
        m_finished = true;
        if (m_quit)
            m_quit();
    }

    // Keeps the final state on screen for a moment; the window ignores the user meanwhile.
    void Hold() {
        m_window.onClose = nullptr;
        QEventLoop hold;
        QTimer timer;
        timer.setObjectName(QString("timer%1").arg(kProgressHoldTimer));
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &hold, &QEventLoop::quit);
        timer.start(g_holdMilliseconds);
        hold.exec(QEventLoop::ExcludeUserInputEvents);
    }

    void Close() {
        if (m_hookSwapped)
            SetInputFileAddedHook(g_windowHook);
        if (QWidget* owner = m_host.Window()) {
            owner->activateWindow();
            owner->setFocus();
        }
        m_window.hide();
    }

    ProgressTask m_task;
    TaskLook m_look;
    RunHost& m_host;
    StoppableDialog m_window;
    QProgressBar* m_bar = nullptr;
    std::vector<std::string> m_rows;
    int m_maximum = 0;
    WorkerThread m_worker;
    std::function<void()> m_quit;
    bool m_asking = false;
    bool m_stopped = false;
    bool m_finished = false;
    bool m_hookSwapped = false;
    int32_t m_count = 0;
};

} // namespace

namespace detail {
void SetTaskStartedHook(std::function<void(QDialog*)> hook) {
    g_startedHook = std::move(hook);
}
void SetTaskHoldMilliseconds(int ms) {
    g_holdMilliseconds = ms;
}
} // namespace detail

int TaskMaximum(ProgressTask task, const std::vector<std::string>& rows) {
    switch (task) {
    case ProgressTask::FolderImport:
        return TopLevelEntries(ConversionJob.InputFolder);
    case ProgressTask::ListImport:
        return static_cast<int>(
            std::min<uint64_t>(CountLineFeeds(ConversionJob.InputPath) + 1, INT_MAX));
    case ProgressTask::Export:
        break;
    }
    return static_cast<int>(std::min<size_t>(rows.size(), INT_MAX));
}

int32_t RunWithProgress(ProgressTask task, RunHost& host) {
    TaskRun run(task, host);
    return run.Run();
}

int32_t ImportFolderWithProgress(RunHost& host) {
    return RunWithProgress(ProgressTask::FolderImport, host);
}

} // namespace qm::gui
