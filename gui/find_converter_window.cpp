#include "gui/find_converter_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/vendor_addresses.h"
#include "gui/centre_window.h"
#include "gui/message_box.h"
#include "gui/texts.h"
#include "gui/window_ids.h"
#include "platform/shell/shell_open.h"

namespace qm::gui {
namespace {

constexpr int kExtensionLength = 12;

QLabel* PlacedLabel(QWidget* parent, const QString& text, QRect place) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(place);
    return label;
}

} // namespace

QString CleanConverterExtension(const QString& text) {
    const QString cut = text.toLower().left(kExtensionLength);
    QString clean;
    for (const QChar c : cut)
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            clean += c;
    return clean;
}

bool ReadConverterExtensions(const QString& from, const QString& to, QString& fromExt,
                             QString& toExt) {
    fromExt = CleanConverterExtension(from);
    toExt = CleanConverterExtension(to);
    return !fromExt.isEmpty() && !toExt.isEmpty();
}

std::string ConverterSearchUrl(const QString& fromExt, const QString& toExt) {
    return VendorConverterSearch + U8(fromExt) + "-" + U8(toExt) + "/";
}

FindConverterWindow::FindConverterWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName("FindConverterWindow");
    setProperty("windowNumber", kConverterSearchWindow);
    setWindowTitle(Text("Custom-Converter", "Title"));
    setFixedSize(370, 60);

    PlacedLabel(this, Text("Custom-Converter", "From"), {10, 23, 40, 20});
    m_from = new QLineEdit(this);
    m_from->setGeometry(50, 20, 80, 20);
    PlacedLabel(this, Text("Custom-Converter", "To"), {150, 23, 30, 20});
    m_to = new QLineEdit(this);
    m_to->setGeometry(180, 20, 80, 20);
    m_search = new QPushButton(Text("Custom-Converter", "Search"), this);
    m_search->setGeometry(280, 18, 80, 25);
    m_search->setDefault(true);
    m_from->setFocus();

    connect(m_search, &QPushButton::clicked, this,
            [this] { HandleFindConverterEvent(*this, FindConverterEvent::Search); });
    connect(this, &QDialog::finished, this, [owner] {
        if (owner)
            owner->activateWindow();
    });
}

FindConverterWindow* ShowFindConverter(QWidget* owner) {
    auto* window = new FindConverterWindow(owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    CentreWindow(*window, owner);
    window->show();
    window->activateWindow();
    window->fromField()->setFocus();
    return window;
}

int HandleFindConverterEvent(FindConverterWindow& window, FindConverterEvent event) {
    if (event == FindConverterEvent::Close) {
        window.done(QDialog::Rejected);
        return 0;
    }
    QString fromExt;
    QString toExt;
    if (!ReadConverterExtensions(window.fromField()->text(), window.toField()->text(), fromExt,
                                 toExt)) {
        ShowWarning(Text("Msg", "Empty extensions"));
        return 0;
    }
    window.hide();
    OpenWithShell(ConverterSearchUrl(fromExt, toExt));
    window.done(QDialog::Accepted);
    return 0;
}

} // namespace qm::gui
