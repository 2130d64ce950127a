// File and folder dialogs answered from a script: every request is recorded, each dialog
// returns the next queued answer (cancelled when none is left).
#pragma once

#include <deque>
#include <vector>

#include "gui/file_dialogs.h"

namespace qm::gui::test {

class ScriptedDialogs final : public FileDialogs {
public:
    ScriptedDialogs() { SetFileDialogs(this); }
    ~ScriptedDialogs() override { SetFileDialogs(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    QStringList OpenFiles(QWidget*, const DialogRequest& r) override {
        requests.push_back(r);
        return Next();
    }
    QString OpenFile(QWidget*, const DialogRequest& r) override {
        requests.push_back(r);
        return Next().value(0);
    }
    QString SaveFile(QWidget*, const DialogRequest& r) override {
        requests.push_back(r);
        return Next().value(0);
    }
    QString Folder(QWidget*, const DialogRequest& r) override {
        requests.push_back(r);
        return Next().value(0);
    }

    std::deque<QStringList> answers;
    std::vector<DialogRequest> requests;

private:
    QStringList Next() {
        if (answers.empty())
            return {};
        QStringList next = answers.front();
        answers.pop_front();
        return next;
    }
};

} // namespace qm::gui::test
