// Screenshot mode (-T): the main window with example inputs, saved as two JPEG pictures.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>

#include "cli/command_line.h"
#include "engine/conversion_job.h"
#include "gui/main_window.h"
#include "gui/texts.h"
#include "gui/theme.h"
#include "gui/windowed_start.h"
#include "platform/fonts/font_match.h"

namespace qm::gui {

namespace {

constexpr const char* kExampleNames[] = {"summer", "harbour", "invoice", "floorplan",
                                         "logo",   "chart",   "poster"};
constexpr int kJpegQuality = 90;
constexpr int kThumbnailWidth = 180;

// The Tahoma look-alike, registered with Qt from the file the metafile player also uses; the
// family Qt would pick for "Tahoma" when no such file is installed.
QFont WebAddressFont() {
    QString family = QStringLiteral("Tahoma");
    const fonts::FontMatch match = fonts::MatchFont("Tahoma", 400, false);
    if (!match.file.empty()) {
        const int id = QFontDatabase::addApplicationFont(Q(match.file));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            family = families.front();
    }
    QFont font(family);
    font.setPointSize(8);
    return font;
}

void FillExampleWindow(MainWindow& window) {
    for (const char* name : kExampleNames) {
        auto* row = new QTreeWidgetItem(window.FileList());
        row->setText(0, QStringLiteral("/images/%1.%2").arg(name, Q(InputFormats.front())));
    }
    QComboBox* folders = window.OutputFolderCombo();
    folders->clear();
    folders->addItem(ThemeIcon(ImageSet::MenuIcons, "FavFolder"), QStringLiteral("/converted/"));
    folders->setCurrentIndex(0);
}

QImage CaptureWindow(MainWindow& window) {
    QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString address = QString::fromUtf8(VendorWebAddress);
    QPainter painter(&image);
    const QFont font = WebAddressFont();
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int textWidth = QFontMetrics(font, &image).horizontalAdvance(address);
    const int x = image.width() - textWidth - 35;
    const int y = image.height() - 26;
    painter.drawText(QRect(x, y, textWidth + 35, 26), Qt::AlignLeft | Qt::AlignTop, address);
    return image;
}

} // namespace

void CaptureScreenshots(int& argc, char** argv, const std::string& folderParam) {
    if (!DisplayAvailable())
        return;
    QString folder = Q(folderParam.empty() ? ExecutableFolder() : folderParam);
    if (!folder.endsWith(QChar('/')))
        folder += QChar('/');
    if (!QFileInfo(folder).isDir())
        return;

    QApplication app(argc, argv);
    FreeThemeImages();
    ListThemes();
    LoadTheme(true, true, true);
    MainWindow* window = CreateMainWindow();
    FillFormatCombo(window->OutputFormatCombo(), true);
    window->NewFileList();
    FillExampleWindow(*window);
    window->move(400, 400);
    window->resize(510, 330);
    window->show();
    window->LayoutMainWindow();

    QImage image;
    QTimer::singleShot(500, window, [&] {
        image = CaptureWindow(*window);
        QApplication::quit();
    });
    QApplication::exec();
    DestroyMainWindow();
    FreeThemeImages();
    if (image.isNull())
        return;

    image.save(folder + "pirelo1.jpg", "JPG", kJpegQuality);
    const int height = static_cast<int>(
        std::lround(static_cast<double>(kThumbnailWidth) * image.height() / image.width()));
    image.scaled(kThumbnailWidth, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(folder + "pirelo1x.jpg", "JPG", kJpegQuality);
}

} // namespace qm::gui
