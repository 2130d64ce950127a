#include "gui/preferences_choosers.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>

namespace qm::gui {
namespace {

class RealChoosers final : public PreferencesChoosers {
public:
    std::optional<QColor> PickColor(QWidget* owner, const QColor& initial) override {
        const QColor picked = QColorDialog::getColor(initial, owner);
        if (!picked.isValid())
            return std::nullopt;
        return picked;
    }

    std::optional<PickedFont> PickFont(QWidget* owner, const QString& family,
                                       int pointSize) override {
        bool ok = false;
        QFont initial(family);
        if (pointSize > 0)
            initial.setPointSize(pointSize);
        const QFont font = QFontDialog::getFont(&ok, initial, owner);
        if (!ok)
            return std::nullopt;
        return PickedFont{font.family(), font.pointSize(), font.bold(),
                          font.italic(), font.underline(), font.strikeOut()};
    }

    std::optional<QString> PickFile(QWidget* owner, const QString& title, const QString& preset,
                                    const QString& filter) override {
        const QString file = QFileDialog::getOpenFileName(owner, title, preset, filter);
        if (file.isEmpty())
            return std::nullopt;
        return file;
    }
};

RealChoosers g_realChoosers;
PreferencesChoosers* g_choosers = &g_realChoosers;

} // namespace

PreferencesChoosers& Choosers() {
    return *g_choosers;
}

void SetPreferencesChoosers(PreferencesChoosers* choosers) {
    g_choosers = choosers ? choosers : &g_realChoosers;
}

} // namespace qm::gui
