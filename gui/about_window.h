// The About window: banner, title and notice, the vendor's web and mail links, OK.
#pragma once

#include <QDialog>
#include <QPixmap>

namespace qm::gui {

class LinkLabel;

/// The 360 x 40 banner at the top of the About window, drawn once and kept.
const QPixmap& AboutBanner();

/// The maker's notice under the title line.
QString MakerNotice();

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* owner);

    LinkLabel* webLink() const { return m_webLink; }
    LinkLabel* mailLink() const { return m_mailLink; }

private:
    LinkLabel* m_webLink = nullptr;
    LinkLabel* m_mailLink = nullptr;
};

/// What can happen in the About window.
enum class AboutEvent { Ok, Close, WebLink, MailLink };

/// Builds the About window over `owner` (centred on it, which takes no input while it is
/// open), shows it with the focus and returns it; it deletes itself when closed.
AboutWindow* ShowAbout(QWidget* owner);

/// Handles one event of the About window: OK and the close box close it, the links open the
/// web site and the support mail. Returns 0.
int HandleAboutEvent(AboutWindow& window, AboutEvent event);

} // namespace qm::gui
