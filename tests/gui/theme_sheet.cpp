// Draws a contact sheet of every theme's images: one block per theme with the button images,
// the menu icons and the toolbar icons at every icon size, on a light and on a dark strip.
// Usage: theme_sheet OUT.png [GFX_FOLDER]
#include <QApplication>
#include <QFont>
#include <QPainter>
#include <cstdlib>

#include "core/settings.h"
#include "gui/theme.h"

using namespace qm;
using namespace qm::gui;

namespace {

constexpr int kCell = 80;
constexpr int kLabel = 130;

int DrawTheme(QPainter& p, int top, const std::string& theme, const QString& display) {
    Settings.Interface.UITheme = theme;
    p.setPen(Qt::black);
    p.setFont(QFont("DejaVu Sans", 11, QFont::Bold));
    p.drawText(10, top + 20, display + "  (" + QString::fromStdString(theme) + ".zip)");
    int y = top + 34;
    // The button images on their button sizes.
    FreeThemeImages();
    LoadTheme(true, true, false);
    int x = kLabel;
    for (const char* name : ButtonImageNames) {
        const int button = std::string_view(name) == "Convert" ? 100 : 80;
        p.setPen(QColor(160, 160, 160));
        p.drawRect(x, y, button, button);
        const QPixmap image = ThemeImage(ImageSet::Buttons, name);
        p.drawPixmap(x + (button - image.width()) / 2, y + (button - image.height()) / 2, image);
        x += button + 20;
    }
    p.setPen(Qt::black);
    p.setFont(QFont("DejaVu Sans", 7));
    p.drawText(10, y + 50, "Buttons");
    y += 110;
    // Icon names along the top, then one row per size.
    for (size_t i = 0; i < IconNames.size(); ++i)
        p.drawText(QRect(kLabel + int(i) * kCell - 6, y, kCell, 14), Qt::AlignCenter, IconNames[i]);
    y += 18;
    for (int uiSize = -1; uiSize <= 4; ++uiSize) {
        FreeThemeImages();
        Settings.Interface.UISize = uiSize < 0 ? 0 : uiSize;
        LoadTheme(false, true, true);
        const ImageSet set = uiSize < 0 ? ImageSet::MenuIcons : ImageSet::ToolbarIcons;
        const int size = uiSize < 0 ? 16 : IconPixelSize(uiSize);
        const int rowHeight = std::max(size, 16) + 12;
        p.drawText(10, y + rowHeight / 2 + 4,
                   uiSize < 0 ? QString("menu 16") : QString("toolbar %1").arg(size));
        for (size_t i = 0; i < IconNames.size(); ++i) {
            const int cx = kLabel + int(i) * kCell;
            p.fillRect(cx, y, kCell / 2 - 2, rowHeight, QColor(250, 250, 250));
            p.fillRect(cx + kCell / 2 - 2, y, kCell / 2 - 4, rowHeight, QColor(60, 63, 68));
            const QPixmap icon = ThemeImage(set, IconNames[i]);
            if (icon.isNull()) {
                p.fillRect(cx, y, kCell - 6, rowHeight, QColor(255, 0, 255));
                continue;
            }
            // Light strip at 1:1; large sizes overlap onto the dark strip.
            p.drawPixmap(cx + 2, y + 6, icon);
            if (size <= 24)
                p.drawPixmap(cx + kCell / 2 + 2, y + 6, icon);
        }
        y += rowHeight + 4;
    }
    return y + 16;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (argc > 2)
        SetThemeFolders({argv[2]});
    ListThemes();
    const int height = 20 + int(ThemeList.size()) * 640;
    QImage sheet(kLabel + int(IconNames.size()) * kCell + 10, height, QImage::Format_RGB32);
    sheet.fill(QColor(230, 230, 230));
    QPainter p(&sheet);
    int y = 10;
    for (const auto& [theme, display] : ThemeList)
        y = DrawTheme(p, y, theme, display);
    p.end();
    return sheet.copy(0, 0, sheet.width(), y).save(argv[1]) ? 0 : 1;
}
