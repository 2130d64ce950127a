// Message boxes answered from a script: every box shown is recorded, questions take the next
// answer queued (No when none is left).
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "gui/message_box.h"

namespace qm::gui::test {

class ScriptedBoxes final : public MessageBoxes {
public:
    ScriptedBoxes() { SetMessageBoxes(this); }
    ~ScriptedBoxes() override { SetMessageBoxes(nullptr); }
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;

    bool Show(QWidget* /*owner*/, const BoxRequest& request) override {
        shown.push_back(request);
        if (onShow)
            onShow(request);
        if (request.buttons == BoxButtons::Ok)
            return true;
        if (answers.empty())
            return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }

    std::deque<bool> answers;
    std::vector<BoxRequest> shown;
    /// Runs while the box is "on screen", before it is answered.
    std::function<void(const BoxRequest&)> onShow;
};

} // namespace qm::gui::test
