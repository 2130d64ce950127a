#include "gui/convert_progress.h"

#include <QEventLoop>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <mutex>

#include "core/settings.h"
#include "engine/conversion_job.h"
#include "engine/conversion_worker.h"
#include "gui/message_box.h"
#include "gui/stoppable_dialog.h"
#include "gui/texts.h"
#include "gui/worker_thread.h"

namespace qm::gui {

namespace {

constexpr int kPollMilliseconds = 15;
constexpr int kLabelWidth = 280;

std::function<void(QDialog*)> g_startedHook;

class ConvertRun {
public:
    explicit ConvertRun(RunHost& host) : m_host(host), m_dialog(host.Window()) {}

    void Run() {
        m_count = static_cast<int32_t>(std::min<size_t>(InputList.Size(), INT32_MAX - 1));
        Build();
        m_charWidth = AverageCharWidth(m_dialog.font());
        m_budget = kLabelWidth / m_charWidth;
        StartWorker();
        if (g_startedHook)
            g_startedHook(&m_dialog);
        QEventLoop loop;
        m_quitLoop = [&loop] { loop.quit(); };
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this] { Poll(); });
        poll.start(kPollMilliseconds);
        if (!m_quit)
            loop.exec();
        poll.stop();
        TakeBackJob();
        Close();
    }

private:
    void Build() {
        m_dialog.setObjectName("ConvertProgress");
        m_dialog.setWindowTitle(Text("Dialog", "Convert Progress"));
        m_dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowCloseButtonHint);
        m_dialog.setFixedSize(300, 110);
        m_label = new QLabel(&m_dialog);
        m_label->setObjectName("label");
        m_label->setGeometry(10, 13, kLabelWidth, 20);
        m_bar = new QProgressBar(&m_dialog);
        m_bar->setObjectName("bar");
        m_bar->setGeometry(10, 40, kLabelWidth, 20);
        m_bar->setRange(0, m_count + 1);
        m_bar->setValue(0);
        m_bar->setTextVisible(false);
        m_button = new QPushButton(Text("Dialog", "OK"), &m_dialog);
        m_button->setObjectName("ok");
        m_button->setGeometry(110, 75, 80, 25);
        m_button->setDefault(true);
        m_button->setEnabled(false);
        QObject::connect(m_button, &QPushButton::clicked, [this] {
            if (!m_worker.Running())
                Quit();
        });
        m_dialog.onClose = [this] { OnClose(); };
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.show();
        m_dialog.activateWindow();
        m_dialog.setFocus();
    }

    // The worker gets its own copies, so that nothing the interface thread may read during
    // the run is written by it, and nothing it reads changes under it.
    void StartWorker() {
        m_job = ConversionJob;
        m_settings = Settings;
        m_inputs = InputList;
        ResetConversionProgress();
        m_worker.Start([this] {
            // No diagnostic lines: the run's outcome is in the dialog.
            // As many threads as the settings say: one per core unless told otherwise.
            WorkerContext ctx{
                m_job,      ConversionProgress,      ProgressLock, m_inputs,
                m_settings, [](std::string_view) {}, {},           m_settings.Advanced.Threads};
            RunConversionWorker(ctx);
        });
    }

    QString Caption(const char* key, int32_t ordinal) const {
        return Text(key == nullptr ? "Dialog" : "Msg", key == nullptr ? "Convert Progress" : key) +
               " " +
               TextWith("Msg", "Progress", QString::number(ordinal), QString::number(m_count));
    }

    // The path as the label shows it: shortened in the middle to the budget of characters, and
    // further when wide letters would still make it overflow the label.
    QString LabelText(const QString& path) const {
        QString shown =
            path.size() * m_charWidth > kLabelWidth ? ShortenMiddle(path, m_budget) : path;
        const QFontMetrics metrics(m_label->font());
        for (int budget = std::min<int>(m_budget, static_cast<int>(shown.size())) - 1;
             budget > 5 && metrics.horizontalAdvance(shown) > kLabelWidth; --budget)
            shown = ShortenMiddle(path, budget);
        return shown;
    }

    void Poll() {
        if (m_asking || m_quit || !m_worker.Running())
            return;
        // Asked first, so that what is read below is final once the worker has ended.
        const bool ended = m_worker.Finished();
        int32_t started = 0;
        QString current;
        {
            std::lock_guard<std::mutex> lock(ProgressLock);
            started = ConversionProgress.FilesStarted;
            current = Q(ConversionProgress.CurrentFile);
        }
        m_lastRead = started;
        if (started > m_shown) {
            m_shown = started;
            m_dialog.setWindowTitle(Caption(nullptr, started));
            m_label->setText(LabelText(current));
            m_bar->setValue(started);
        }
        if (ended)
            ShowEnd();
    }

    void ShowEnd() {
        TakeBackJob();
        const int32_t converted = ConversionProgress.FilesConverted;
        if (m_stopped) {
            m_host.SetStatusText(Text("Msg", "Conversion is not complete"));
            m_dialog.setWindowTitle(Caption("Conversion is not complete", m_lastRead));
            m_label->setText(Text("Msg", "Conversion is not complete"));
        } else {
            m_host.SetStatusText(Text("Msg", "Conversion complete"));
            m_dialog.setWindowTitle(Caption("Conversion complete", m_lastRead));
            m_label->setText(TextWith("Msg", "Files converted", QString::number(converted),
                                      QString::number(m_count)));
            m_bar->setValue(m_count + 1);
        }
        m_button->setEnabled(true);
        m_button->setFocus();
    }

    void OnClose() {
        if (m_asking || m_quit)
            return;
        if (!m_worker.Running() || m_worker.Finished()) {
            if (m_worker.Running())
                Poll(); // ended a moment ago: show the end before closing
            Quit();
            return;
        }
        // The worker takes no further file while the question is on screen; the file in
        // progress may finish.
        m_asking = true;
        ConversionProgress.Pause.Close();
        m_stopped = AskBreakConversion();
        if (m_stopped) {
            std::lock_guard<std::mutex> lock(ProgressLock);
            ConversionProgress.KeepRunning = 0;
        }
        ConversionProgress.Pause.Open();
        m_asking = false;
    }

    void Quit() {
        m_quit = true;
        if (m_quitLoop)
            m_quitLoop();
    }

    // Counters and the last file's fields go back into the job once the worker has ended.
    void TakeBackJob() {
        if (!m_worker.Running())
            return;
        m_worker.Join();
        ConversionJob = m_job;
    }

    void Close() {
        m_dialog.onClose = nullptr;
        if (QWidget* owner = m_host.Window()) {
            owner->activateWindow();
            owner->setFocus();
        }
        m_dialog.hide();
    }

    RunHost& m_host;
    StoppableDialog m_dialog;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_button = nullptr;
    WorkerThread m_worker;
    ConversionJobRecord m_job;
    SettingsRecord m_settings;
    InputListMap m_inputs;
    std::function<void()> m_quitLoop;
    int32_t m_count = 0;
    int32_t m_lastRead = 0;
    int32_t m_shown = 0;
    int m_charWidth = 7;
    int m_budget = kLabelWidth / 7;
    bool m_asking = false;
    bool m_stopped = false;
    bool m_quit = false;
};

} // namespace

namespace detail {
void SetConvertStartedHook(std::function<void(QDialog*)> hook) {
    g_startedHook = std::move(hook);
}
} // namespace detail

QString ShortenMiddle(const QString& text, int max) {
    if (text.isEmpty() || text.size() <= max)
        return text;
    const qsizetype keep = std::max(0, (max - 3) / 2);
    return text.left(keep) + "..." + text.right(keep);
}

int AverageCharWidth(const QFont& font) {
    const int width = QFontMetrics(font).horizontalAdvance(QStringLiteral("abc123:\\-")) / 9;
    return width > 0 ? width : 7;
}

void ShowConvertProgress(RunHost& host) {
    ConvertRun run(host);
    run.Run();
}

} // namespace qm::gui
