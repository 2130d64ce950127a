#include "gui/about_window.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "cli/command_line.h"
#include "core/settings.h"
#include "core/vendor_addresses.h"
#include "gui/centre_window.h"
#include "gui/link_label.h"
#include "gui/texts.h"
#include "gui/window_ids.h"
#include "platform/shell/shell_open.h"

namespace qm::gui {
namespace {

constexpr int kBannerWidth = 360;
constexpr int kBannerHeight = 40;

// A small picture of a drawing turning into pixels: a curve on a page, then a grid.
void DrawBannerMark(QPainter& painter) {
    painter.setPen(QPen(QColor(255, 255, 255, 210), 1.5));
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawRoundedRect(QRectF(10.5, 7.5, 22, 26), 2, 2);
    QPainterPath curve;
    curve.moveTo(13, 28);
    curve.cubicTo(17, 10, 24, 30, 30, 12);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(curve);
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const int shade = 150 + 35 * ((row + column) % 3);
            painter.setBrush(QColor(shade, 230, 255));
            painter.drawRect(QRectF(38 + column * 8, 10 + row * 8, 7, 7));
        }
}

QPixmap DrawAboutBanner() {
    const qreal scale = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap banner(QSize(kBannerWidth, kBannerHeight) * scale);
    banner.setDevicePixelRatio(scale);
    QPainter painter(&banner);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, kBannerWidth, kBannerHeight);
    sky.setColorAt(0, QColor(16, 42, 92));
    sky.setColorAt(1, QColor(20, 120, 150));
    painter.fillRect(QRect(0, 0, kBannerWidth, kBannerHeight), sky);
    DrawBannerMark(painter);

    QFont title = painter.font();
    title.setPixelSize(20);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(70, 0, 170, kBannerHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     ProductTitle);
    QFont tagline = painter.font();
    tagline.setPixelSize(11);
    tagline.setBold(false);
    painter.setFont(tagline);
    painter.setPen(QColor(200, 230, 245));
    painter.drawText(QRect(180, 0, kBannerWidth - 190, kBannerHeight),
                     Qt::AlignRight | Qt::AlignVCenter, "EMF to raster images");
    return banner;
}

QLabel* PlacedLabel(QWidget* parent, const QString& text, QRect place, Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align | Qt::AlignVCenter);
    label->setGeometry(place);
    return label;
}

} // namespace

const QPixmap& AboutBanner() {
    static const QPixmap banner = DrawAboutBanner();
    return banner;
}

QString MakerNotice() {
    return Q(DefaultWatermarkText);
}

AboutWindow::AboutWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName("AboutWindow");
    setProperty("windowNumber", kAboutWindow);
    setWindowTitle(Text("About", "Title"));
    setFixedSize(360, 240);

    auto* banner = new QLabel(this);
    banner->setPixmap(AboutBanner());
    banner->setGeometry(0, 0, 360, 40);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setGeometry(0, 40, 360, 150);

    const QString title = Q(TitleWithVersion(ProductTitle, ProgramVersion));
    PlacedLabel(this, title, {20, 50, 320, 20}, Qt::AlignHCenter)->setObjectName("titleLine");
    PlacedLabel(this, MakerNotice(), {20, 70, 320, 20}, Qt::AlignHCenter);
    PlacedLabel(this, Text("About", "Website"), {80, 100, 60, 20}, Qt::AlignLeft);
    PlacedLabel(this, Text("About", "Email"), {80, 120, 50, 20}, Qt::AlignLeft);

    m_webLink = new LinkLabel(Q(VendorWebSite), this);
    m_webLink->setGeometry(140, 100, 215, 20);
    m_mailLink = new LinkLabel(Q(VendorSupportMail), this);
    m_mailLink->setGeometry(140, 120, 215, 20);

    auto* ok = new QPushButton(Text("Dialog", "OK"), this);
    ok->setObjectName("okButton");
    ok->setGeometry(140, 200, 80, 25);
    ok->setDefault(true);
    ok->setFocus();

    connect(ok, &QPushButton::clicked, this, [this] { HandleAboutEvent(*this, AboutEvent::Ok); });
    connect(m_webLink, &LinkLabel::clicked, this,
            [this] { HandleAboutEvent(*this, AboutEvent::WebLink); });
    connect(m_mailLink, &LinkLabel::clicked, this,
            [this] { HandleAboutEvent(*this, AboutEvent::MailLink); });
    // Escape and the close box end here as well: give the owner its focus back.
    connect(this, &QDialog::finished, this, [owner] {
        if (owner)
            owner->activateWindow();
    });
}

AboutWindow* ShowAbout(QWidget* owner) {
    auto* window = new AboutWindow(owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    CentreWindow(*window, owner);
    window->show();
    window->activateWindow();
    return window;
}

int HandleAboutEvent(AboutWindow& window, AboutEvent event) {
    switch (event) {
    case AboutEvent::Ok:
    case AboutEvent::Close:
        window.done(QDialog::Accepted);
        break;
    case AboutEvent::WebLink:
        OpenWithShell(VendorWebSite);
        break;
    case AboutEvent::MailLink:
        OpenWithShell(std::string("mailto:") + VendorSupportMail);
        break;
    }
    return 0;
}

} // namespace qm::gui
