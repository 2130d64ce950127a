// The Convert command: its checks, the progress dialog, stopping, and a whole run over real
// metafiles.
#include <FreeImage.h>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

#include "gui/add_input.h"
#include "gui/convert_progress.h"
#include "gui/start_conversion.h"
#include "gui/task_progress.h"
#include "tests/engine/test_metafile.h"
#include "tests/gui/fake_host.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/scripted_boxes.h"
#include "tests/gui/scripted_dialogs.h"

namespace qm::gui {
namespace {

using test::PostClose;
namespace fs = std::filesystem;

const std::string kShared = QM_SHARED_DIR;

// What the dialog showed, recorded from its own signals.
struct Observed {
    std::vector<int> barValues;
    std::vector<QString> captions;
    QString label;
    QString caption;
    bool modal = false;
    int barMaximum = -1;
};

class ConversionRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetRecords();
        host.outputFolder = QString::fromStdString(scratch.Folder("out"));
        detail::SetConvertStartedHook([this](QDialog* dialog) { Watch(dialog); });
    }
    void TearDown() override { detail::SetConvertStartedHook(nullptr); }

    std::string AddMetafile(const std::string& name, int width = 200, int height = 100) {
        const std::string path = scratch.root + "in/" + name;
        fs::create_directories(scratch.root + "in");
        qm::test::MetafileBuilder builder(width, height);
        builder.Fill({10, 10, 50, 30, 200, 0, 0});
        EXPECT_TRUE(builder.Write(path));
        InputList[path].Added = 1;
        return path;
    }
    std::string AddBroken(const std::string& name) {
        const std::string path = scratch.Write("in/" + name, "no metafile");
        InputList[path].Added = 1;
        return path;
    }

    // Records the dialog's states and presses OK as soon as the run has ended.
    void Watch(QDialog* dialog) {
        seen.modal = QApplication::activeModalWidget() == dialog;
        auto* bar = dialog->findChild<QProgressBar*>("bar");
        auto* label = dialog->findChild<QLabel*>("label");
        auto* ok = dialog->findChild<QPushButton*>("ok");
        seen.barMaximum = bar->maximum();
        QObject::connect(bar, &QProgressBar::valueChanged,
                         [this](int v) { seen.barValues.push_back(v); });
        QObject::connect(dialog, &QWidget::windowTitleChanged, [this, dialog](const QString& t) {
            seen.captions.push_back(t);
            if (onCaption)
                onCaption(dialog, t);
        });
        auto* closer = new QTimer(dialog);
        QObject::connect(closer, &QTimer::timeout, [=, this] {
            if (!ok->isEnabled())
                return;
            seen.label = label->text();
            seen.caption = dialog->windowTitle();
            closer->stop();
            if (onEnded)
                onEnded(dialog); // closes the dialog its own way
            else
                ok->click();
        });
        closer->start(5);
    }

    std::vector<QString> Warnings() const {
        std::vector<QString> texts;
        for (const BoxRequest& box : boxes.shown)
            texts.push_back(box.text);
        return texts;
    }

    test::ScratchFolder scratch;
    test::ScriptedBoxes boxes;
    test::FakeHost host;
    Observed seen;
    std::function<void(QDialog*, const QString&)> onCaption;
    std::function<void(QDialog*)> onEnded;
};

TEST_F(ConversionRunTest, EachCheckRefusesWithOneWarningAndConvertsNothing) {
    EXPECT_EQ(StartConversion(host), 0);
    EXPECT_EQ(host.status, (std::vector<QString>{"Preparing...", "Conversion stopped"}));
    EXPECT_EQ(Warnings(), (std::vector<QString>{
                              "No input file(s) found. Please, add valid file(s) and try again!"}));

    AddMetafile("a.emf");
    host.outputFolder = "   ";
    StartConversion(host);
    EXPECT_EQ(Warnings().back(), "The output folder's field is empty. Please, select existed "
                                 "output folder and try again!");

    // Spaces go, a final "/" comes; a missing folder and a file are both refused.
    host.outputFolder = QString::fromStdString("  " + scratch.root + "missing  ");
    StartConversion(host);
    EXPECT_EQ(Warnings().back().toStdString(),
              "The following output folder is invalid or doesn't exist:\r\n" + scratch.root +
                  "missing/\r\n\r\nPlease, correct the output path and try again!");
    const std::string file = scratch.Write("file");
    host.outputFolder = QString::fromStdString(file);
    StartConversion(host);
    EXPECT_NE(Warnings().back().indexOf(QString::fromStdString(file + "/")), -1);
    EXPECT_EQ(host.LastStatus(), "Conversion stopped");
    EXPECT_EQ(seen.barMaximum, -1); // no dialog opened
    EXPECT_TRUE(host.remembered.empty());
}

TEST_F(ConversionRunTest, ResizeSizesOfZeroAreRefusedOnlyWhileResizing) {
    AddMetafile("a.emf");
    Settings.Transform.ImageWidth = 0;
    Settings.Transform.ImageHeight = 50;
    Settings.Transform.DoImageResize = 1;
    StartConversion(host);
    EXPECT_EQ(Warnings(), (std::vector<QString>{"Invalid resize width value!"}));
    Settings.Transform.ImageWidth = 50;
    Settings.Transform.ImageHeight = 0;
    StartConversion(host);
    EXPECT_EQ(Warnings().back(), "Invalid resize height value!");
    EXPECT_EQ(host.LastStatus(), "Conversion stopped");

    Settings.Transform.DoImageResize = 0;
    Settings.Transform.ImageWidth = 0;
    StartConversion(host);
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(host.LastStatus(), "Conversion complete");
}

TEST_F(ConversionRunTest, WatermarkChecksLeavePreparingInTheStatusBar) {
    AddMetafile("a.emf");
    Settings.Watermark.DoWatermark = 2;
    Settings.Watermark.Image.clear();
    StartConversion(host);
    EXPECT_EQ(Warnings().back(), "Selected watermark image is invalid/empty!");
    EXPECT_EQ(host.LastStatus(), "Preparing...");
    Settings.Watermark.Image = scratch.Write("empty.png", "");
    StartConversion(host);
    EXPECT_EQ(Warnings().back(),
              QString::fromStdString("Unable to load selected file as a watermark image: " +
                                     Settings.Watermark.Image));
    Settings.Watermark.Image = scratch.root; // a folder has no picture either
    StartConversion(host);
    EXPECT_EQ(boxes.shown.size(), 3u);

    Settings.Watermark.DoWatermark = 1;
    Settings.Watermark.Font = "No Such Face Anywhere";
    StartConversion(host);
    EXPECT_EQ(Warnings().back(),
              "Unable to load selected font for a watermark: No Such Face Anywhere");
    EXPECT_EQ(host.LastStatus(), "Preparing...");
}

TEST_F(ConversionRunTest, OneFileRunsTheBarZeroOneTwo) {
    const std::string path = AddMetafile("one.emf");
    host.outputFolder = QString::fromStdString(" " + scratch.root + "out ");
    const int32_t counter = ConversionJob.SuccessCounter;
    StartConversion(host);

    EXPECT_EQ(ConversionJob.OutputFolder, scratch.root + "out/");
    EXPECT_EQ(host.remembered, (std::vector<std::string>{scratch.root + "out/"}));
    EXPECT_EQ(host.status,
              (std::vector<QString>{"Preparing...", "Converting...", "Conversion complete"}));
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.barMaximum, 2);
    EXPECT_EQ(seen.barValues, (std::vector<int>{1, 2}));
    EXPECT_EQ(seen.captions.front(), "Converting (1/1)");
    EXPECT_EQ(seen.caption, "Conversion complete (1/1)");
    EXPECT_EQ(seen.label, "Files converted: 1 of 1");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // closed by OK
    // The run's counters and last file come back into the job.
    EXPECT_EQ(ConversionJob.SuccessCounter, counter + 1);
    EXPECT_EQ(ConversionJob.InputPath, path);
    EXPECT_TRUE(fs::exists(scratch.root + "out/one.png"));
}

TEST_F(ConversionRunTest, TheCloseBoxAfterTheRunClosesTheDialogWithoutAsking) {
    AddMetafile("a.emf");
    bool fallback = false;
    onEnded = [&](QDialog* dialog) {
        dialog->close(); // the close box instead of OK
        QTimer::singleShot(5000, dialog, [&fallback, dialog] {
            fallback = true;
            dialog->findChild<QPushButton*>("ok")->click();
        });
    };
    StartConversion(host);
    EXPECT_FALSE(fallback);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(host.LastStatus(), "Conversion complete");
}

TEST_F(ConversionRunTest, FailingFilesShowInTheCountOfACompleteRun) {
    AddMetafile("a.emf");
    AddBroken("b.emf");
    AddMetafile("c.emf");
    StartConversion(host);
    EXPECT_EQ(seen.label, "Files converted: 2 of 3");
    EXPECT_EQ(seen.caption, "Conversion complete (3/3)");
    EXPECT_EQ(host.LastStatus(), "Conversion complete");
}

TEST(ShortenMiddle, KeepsBothEndsWithinTheBudget) {
    const QString path = QString(60, 'a') + QString(40, 'z');
    const QString shown = ShortenMiddle(path, 40);
    EXPECT_EQ(shown, QString(18, 'a') + "..." + QString(18, 'z'));
    EXPECT_EQ(shown.size(), 39);
    EXPECT_EQ(ShortenMiddle("short", 40), "short");
    EXPECT_EQ(ShortenMiddle(QString(40, 'x'), 40), QString(40, 'x'));
    EXPECT_EQ(ShortenMiddle("", 3), "");
    EXPECT_EQ(ShortenMiddle("abcdef", 4), "...");
}

TEST_F(ConversionRunTest, ALongPathIsShortenedInTheMiddleOfTheLabel) {
    const std::string deep = std::string(70, 'd') + "/" + std::string(20, 'n') + ".emf";
    fs::create_directories(scratch.root + "in/" + std::string(70, 'd'));
    const std::string path = AddMetafile(deep);
    QString label;
    QFont font;
    onCaption = [&](QDialog* dialog, const QString&) {
        if (!label.isEmpty())
            return;
        label = dialog->findChild<QLabel*>("label")->text();
        font = dialog->findChild<QLabel*>("label")->font();
    };
    StartConversion(host);
    QDialog probe;
    const int w = AverageCharWidth(probe.font());
    const QString full = QString::fromStdString(path);
    ASSERT_GT(full.size() * w, 280);
    // The budget from the average width, or less where wider letters would overflow the label.
    const QFontMetrics metrics(font);
    const QString byBudget = ShortenMiddle(full, 280 / w);
    if (metrics.horizontalAdvance(byBudget) <= 280) {
        EXPECT_EQ(label, byBudget);
    } else {
        const int k = static_cast<int>(label.indexOf("..."));
        ASSERT_GT(k, 0);
        EXPECT_EQ(label, ShortenMiddle(full, 2 * k + 3));
        EXPECT_LE(metrics.horizontalAdvance(label), 280);
    }
}

// Files large enough to take a while each.
class SlowRunTest : public ConversionRunTest {
protected:
    void SetUp() override {
        ConversionRunTest::SetUp();
        for (int i = 1; i <= 4; ++i)
            AddMetafile("slow" + std::to_string(i) + ".emf", 3000, 3000);
    }
    int32_t Started() {
        std::lock_guard<std::mutex> lock(ProgressLock);
        return ConversionProgress.FilesStarted;
    }
};

TEST_F(SlowRunTest, YesStopsAfterTheFileInProgressAndNoFileStartsDuringTheQuestion) {
    onCaption = [](QDialog* dialog, const QString& caption) {
        if (caption == "Converting (1/4)")
            PostClose(dialog);
    };
    boxes.answers = {true};
    int32_t startedBefore = -1, startedAfter = -1;
    boxes.onShow = [&](const BoxRequest&) {
        startedBefore = Started();
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        startedAfter = Started();
    };
    StartConversion(host);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Do you want to break the conversion?");
    EXPECT_EQ(boxes.shown[0].caption, "Warning");
    EXPECT_EQ(startedAfter, startedBefore); // held at the gate
    const int32_t last = Started();
    EXPECT_LT(last, 4);
    EXPECT_EQ(seen.caption, QString("Conversion stopped (%1/4)").arg(last));
    EXPECT_EQ(seen.label, "Conversion stopped");
    EXPECT_EQ(host.LastStatus(), "Conversion stopped");
    EXPECT_EQ(ConversionProgress.FilesConverted, last); // the file in progress was finished
    EXPECT_EQ(seen.barValues.back(), last);
}

TEST_F(SlowRunTest, NoLetsTheRunGoOn) {
    onCaption = [](QDialog* dialog, const QString& caption) {
        if (caption == "Converting (1/4)")
            PostClose(dialog);
        if (caption == "Converting (2/4)") // once the label and bar follow the caption
            QTimer::singleShot(0, dialog,
                               [dialog] { test::SaveScreenshot(dialog, "convert_progress.png"); });
    };
    boxes.answers = {false};
    StartConversion(host);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(seen.caption, "Conversion complete (4/4)");
    EXPECT_EQ(seen.label, "Files converted: 4 of 4");
}

TEST_F(SlowRunTest, ALaterNoWhileTheLastFileFinishesEndsWithTheCompletedDisplay) {
    onCaption = [](QDialog* dialog, const QString& caption) {
        if (caption == "Converting (1/4)")
            PostClose(dialog);
    };
    boxes.answers = {true, false};
    QDialog* shownOver = nullptr;
    onCaption = [&](QDialog* dialog, const QString& caption) {
        shownOver = dialog;
        if (caption == "Converting (1/4)")
            PostClose(dialog);
    };
    // The first answer asks again at once, while the file is still being converted.
    boxes.onShow = [&](const BoxRequest&) {
        if (boxes.shown.size() == 1)
            PostClose(shownOver);
    };
    StartConversion(host);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(seen.caption, "Conversion complete (1/4)");
    EXPECT_EQ(seen.label, "Files converted: 1 of 4");
    EXPECT_EQ(host.LastStatus(), "Conversion complete");
}

// Reads a PNG back and gives its size; 0 x 0 when it does not load.
QSize PngSize(const std::string& path) {
    FIBITMAP* dib = FreeImage_Load(FIF_PNG, path.c_str());
    if (!dib)
        return {};
    const QSize size(static_cast<int>(FreeImage_GetWidth(dib)),
                     static_cast<int>(FreeImage_GetHeight(dib)));
    FreeImage_Unload(dib);
    return size;
}

// The picture size a metafile's header asks for: its frame in reference pixels plus one.
QSize FrameSize(const std::string& path) {
    const std::string header = test::ReadFile(path).substr(0, 88);
    int32_t v[16] = {};
    std::memcpy(v, header.data() + 24, 16);
    std::memcpy(v + 4, header.data() + 72, 16);
    const auto pixels = [](int32_t a, int32_t b, int32_t device, int32_t mm) {
        return static_cast<int>(
            std::nearbyint(std::fabs(a * static_cast<float>(device) / (mm * 100.0f) -
                                     b * static_cast<float>(device) / (mm * 100.0f))));
    };
    return {pixels(v[0], v[2], v[4], v[6]) + 1, pixels(v[1], v[3], v[5], v[7]) + 1};
}

TEST_F(ConversionRunTest, AFolderOfRealMetafilesConvertsToPngEndToEnd) {
    const fs::path corpus = fs::path(kShared) / "corpus";
    const std::vector<std::pair<std::string, std::string>> picks = {
        {"libemf2svg/test-124.emf", "a"}, {"libemf2svg/test-154.emf", "a"},
        {"libemf2svg/test-152.emf", "a"}, {"libemf2svg/test-066.emf", "b"},
        {"libemf2svg/test-022.emf", "b"}, {"pillow/drawing.wmf", "b"}};
    for (const auto& [file, _] : picks)
        if (!fs::exists(corpus / file))
            GTEST_SKIP() << "no shared corpus";
    for (const auto& [file, sub] : picks)
        fs::copy_file(corpus / file,
                      scratch.Folder("in/" + sub) + "/" + fs::path(file).filename().string());

    // Add the folder as a user does, then convert to PNG.
    test::ScriptedDialogs dialogs;
    dialogs.answers = {{QString::fromStdString(scratch.root + "in")}};
    detail::SetTaskHoldMilliseconds(10);
    ASSERT_EQ(AddInputFolder(host), 1);
    detail::SetTaskHoldMilliseconds(700);
    EXPECT_EQ(host.LastStatus(), "Import complete, new files added: 5");
    ASSERT_EQ(host.rows.size(), 5u);

    host.formatId = "png";
    StartConversion(host);
    EXPECT_EQ(host.LastStatus(), "Conversion complete");
    EXPECT_EQ(seen.label, "Files converted: 5 of 5");
    for (const auto& [file, sub] : picks) {
        if (file.ends_with(".wmf"))
            continue;
        const std::string name = fs::path(file).stem().string();
        const std::string out = scratch.root + "out/" + sub + "/" + name + ".png";
        EXPECT_EQ(PngSize(out), FrameSize((corpus / file).string())) << out;
    }
}

} // namespace
} // namespace qm::gui
