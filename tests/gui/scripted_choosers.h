// Colour, font and file choosers answered from a script: each call takes the next queued answer
// (a cancel when none is left) and records what it was preset with.
#pragma once

#include <deque>
#include <optional>

#include "gui/preferences_choosers.h"

namespace qm::gui::test {

class ScriptedChoosers final : public PreferencesChoosers {
public:
    ScriptedChoosers() { SetPreferencesChoosers(this); }
    ~ScriptedChoosers() override { SetPreferencesChoosers(nullptr); }
    ScriptedChoosers(const ScriptedChoosers&) = delete;
    ScriptedChoosers& operator=(const ScriptedChoosers&) = delete;

    std::optional<QColor> PickColor(QWidget*, const QColor& initial) override {
        presetColor = initial;
        return Next(colors);
    }
    std::optional<PickedFont> PickFont(QWidget*, const QString& family, int size) override {
        presetFamily = family;
        presetSize = size;
        return Next(fonts);
    }
    std::optional<QString> PickFile(QWidget*, const QString& title, const QString& preset,
                                    const QString& filter) override {
        fileTitle = title;
        filePreset = preset;
        fileFilter = filter;
        return Next(files);
    }

    std::deque<std::optional<QColor>> colors;
    std::deque<std::optional<PickedFont>> fonts;
    std::deque<std::optional<QString>> files;
    QColor presetColor;
    QString presetFamily;
    int presetSize = 0;
    QString fileTitle, filePreset, fileFilter;

private:
    template <class T> static std::optional<T> Next(std::deque<std::optional<T>>& queue) {
        std::optional<T> answer;
        if (!queue.empty()) {
            answer.swap(queue.front());
            queue.pop_front();
        }
        return answer;
    }
};

} // namespace qm::gui::test
