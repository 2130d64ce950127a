// The Find a File Converter window: two extensions, then the vendor's converter search for
// that pair in the browser.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace qm::gui {

/// One extension as the search takes it: lower case, its first 12 characters, then only the
/// ASCII letters and digits of those.
QString CleanConverterExtension(const QString& text);

/// Reads both fields into `fromExt` and `toExt` (cleaned); true when neither is empty.
bool ReadConverterExtensions(const QString& from, const QString& to, QString& fromExt,
                             QString& toExt);

/// The converter search page for two cleaned extensions: .../find/emf-png/.
std::string ConverterSearchUrl(const QString& fromExt, const QString& toExt);

class FindConverterWindow : public QDialog {
    Q_OBJECT
public:
    explicit FindConverterWindow(QWidget* owner);

    QLineEdit* fromField() const { return m_from; }
    QLineEdit* toField() const { return m_to; }
    QPushButton* searchButton() const { return m_search; }

private:
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QPushButton* m_search = nullptr;
};

/// What can happen in the Find a File Converter window.
enum class FindConverterEvent { Search, Close };

/// Builds the window over `owner` (centred on it, which takes no input while it is open),
/// shows it with the focus in the from field and returns it; it deletes itself when closed.
FindConverterWindow* ShowFindConverter(QWidget* owner);

/// Search (the button or Enter): with two usable extensions hides the window, opens the
/// search and closes; otherwise warns and keeps the window and its texts. Close (the close box
/// or Escape) closes the window. Returns 0.
int HandleFindConverterEvent(FindConverterWindow& window, FindConverterEvent event);

} // namespace qm::gui
