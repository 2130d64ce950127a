// A stand-in for the main window in the tests of runs, imports and exports: a plain window, the
// status texts it was given, and a file list filled by AddInputFile.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "cli/input_collection.h"
#include "engine/conversion_job.h"
#include "gui/run_host.h"

namespace qm::gui::test {

class FakeHost final : public RunHost {
public:
    FakeHost() {
        s_current = this;
        m_previousHook =
            SetInputFileAddedHook([](const std::string& path) { s_current->rows.push_back(path); });
        window.resize(600, 400);
        window.show();
    }
    ~FakeHost() override {
        SetInputFileAddedHook(m_previousHook);
        s_current = nullptr;
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    QWidget* Window() override { return &window; }
    QString OutputFolderText() override { return outputFolder; }
    std::string SelectedFormatId() override { return formatId; }
    void SetStatusText(const QString& text) override { status.push_back(text); }
    void RememberOutputFolder(const std::string& folder) override { remembered.push_back(folder); }
    std::vector<std::string> FileListRows() override { return rows; }
    void Relayout() override { ++relayouts; }

    QString LastStatus() const { return status.empty() ? QString() : status.back(); }

    QWidget window;
    QString outputFolder;
    std::string formatId = "png";
    std::vector<QString> status;
    std::vector<std::string> remembered;
    std::vector<std::string> rows;
    int relayouts = 0;

private:
    static inline FakeHost* s_current = nullptr;
    InputFileAddedHook m_previousHook = nullptr;
};

} // namespace qm::gui::test
