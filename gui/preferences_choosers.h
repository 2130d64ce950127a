// The colour, font and file choosers that Preferences opens. They go through one replaceable
// object, like the message boxes, so that tests can answer them.
#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

namespace qm::gui {

/// What the font chooser returns.
struct PickedFont {
    QString family;
    int pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

class PreferencesChoosers {
public:
    virtual ~PreferencesChoosers() = default;
    /// A colour, or nothing when the user cancels.
    virtual std::optional<QColor> PickColor(QWidget* owner, const QColor& initial) = 0;
    /// A font, preset with family and size; nothing when the user cancels.
    virtual std::optional<PickedFont> PickFont(QWidget* owner, const QString& family,
                                               int pointSize) = 0;
    /// A file to open; `filter` is in the file dialog's "Name (*.a *.b);;..." form.
    virtual std::optional<QString> PickFile(QWidget* owner, const QString& title,
                                            const QString& preset, const QString& filter) = 0;
};

/// The choosers in use. SetPreferencesChoosers(nullptr) puts the real dialogs back.
PreferencesChoosers& Choosers();
void SetPreferencesChoosers(PreferencesChoosers* choosers);

} // namespace qm::gui
