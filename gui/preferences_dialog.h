// The Preferences dialog: one page per settings group, chosen in a category tree. Controls are
// loaded from Settings when it opens; OK stores them, writes config.ini and asks the main window
// to apply them; Cancel, Escape and the close box discard the edits.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace qm::gui {

class MainWindow;
class PreferencesPage;

/// Page shown when the dialog opens: 0 (General) normally; the main window sets 3 (Output)
/// before opening it from "Options...". Reset to 0 once the dialog is loaded.
extern uint8_t PreferencesStartPage;
/// Request to the main window's apply step, which reads and clears it: 1 when the theme
/// changed, 2 when only the icon size changed, 0 otherwise.
extern int32_t InterfaceReload;

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    /// `apply` is the main window's apply step, run after OK and after Defaults.
    PreferencesDialog(QWidget* parent, std::function<void()> apply);

    /// Fills every control from Settings, applies the enabling and visibility rules and shows
    /// the page PreferencesStartPage (then reset to 0).
    void LoadPreferencesControls();
    /// Shows page 0 to 8 and puts its name into the heading.
    void ShowPreferencesPage(int page);
    int CurrentPage() const;
    PreferencesPage* Page(int page) const { return m_pages.at(static_cast<size_t>(page)); }
    QTreeWidget* Tree() const { return m_tree; }
    QLabel* Heading() const { return m_heading; }
    QPushButton* DefaultsButton() const { return m_defaults; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    void BuildFrame();
    void StoreAndClose();
    void ResetToDefaults();
    void RequestInterfaceReload();
    void Finish();

    std::function<void()> m_apply;
    QTreeWidget* m_tree = nullptr;
    QLabel* m_heading = nullptr;
    QStackedWidget* m_pageArea = nullptr;
    std::array<PreferencesPage*, 9> m_pages{};
    QPushButton* m_defaults = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

/// Builds the dialog over `parent`, loads it and shows it window-modal (the parent takes no
/// input while it is open). The dialog deletes itself when it closes. Returns it.
PreferencesDialog* ShowPreferences(QWidget* parent, std::function<void()> apply = {});

/// The main window's commands "Preferences..." and "Options..." (the latter on the Output
/// page): the dialog over the main window, whose apply step reads and clears InterfaceReload.
PreferencesDialog* ShowPreferencesFrom(MainWindow* window, bool onOutputPage);

/// "Reset to Defaults": true for Yes.
bool AskResetToDefaults();

} // namespace qm::gui
