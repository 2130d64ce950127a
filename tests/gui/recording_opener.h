// A stand-in for the desktop's opener: records what the program asked to open.
#pragma once

#include <string>
#include <vector>

#include "platform/shell/shell_open.h"

namespace qm::gui::test {

class RecordingOpener {
public:
    RecordingOpener() {
        SetShellOpener([this](const std::string& target) { opened.push_back(target); });
    }
    ~RecordingOpener() { SetShellOpener({}); }
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;

    std::vector<std::string> opened;
};

} // namespace qm::gui::test
