// Page Output: the output format and, below it, the panel of options of the chosen format.
#include <QCheckBox>
#include <QComboBox>
#include <QStackedWidget>
#include <algorithm>

#include "core/formats.h"
#include "gui/preferences_pages.h"
#include "gui/texts.h"

namespace qm::gui {

OutputPage::OutputPage(QWidget* parent) : PreferencesPage(parent) {
    RowBuilder rows(this);
    m_format = new QComboBox(this);
    m_format->setObjectName("Output/Format");
    rows.Place(0, "Output Format", m_format, 240, 21);
    m_panelStack = new QStackedWidget(this);
    m_panelStack->setGeometry(0, 40, 450, 215);
    m_noPanel = new QWidget(m_panelStack);
    m_panelStack->addWidget(m_noPanel);
    BuildOutputFormats();
    for (size_t i = 0; i < OutputFormats.size(); ++i) {
        m_format->addItem(FormatEntryIcon(), Q(OutputFormats[i]).toUpper(), static_cast<int>(i));
        BuildPanel(OutputFormats[i]);
    }
    connect(m_format, &QComboBox::currentIndexChanged, this, &OutputPage::ShowFormatPanel);
}

void OutputPage::BuildPanel(const std::string& id) {
    auto* panel = new QWidget(m_panelStack);
    panel->setObjectName(Q("panel " + id));
    m_panelStack->addWidget(panel);
    m_panels.push_back(panel);
    RowBuilder rows(panel);

    const QString upper = Q(id).toUpper();
    ChoiceBox* depth = rows.Choice(0, "Bits Per Pixel", "Output/" + upper + " BPP");
    depth->AddEntry(PrefText("Auto"), 0);
    for (const int32_t bits : AllowedDepths(id))
        depth->AddEntry(QString::number(bits), bits);
    m_depths.push_back(depth);

    // The further rows of the format, each bound to its field of the Output group.
    const auto choice = [&](int row, const char* label, int32_t OutputGroup::*field,
                            std::initializer_list<const char*> entries, const QString& key) {
        ChoiceBox* box = rows.Choice(row, label, "Output/" + key, entries);
        m_extras.push_back(
            {[box, field](const SettingsRecord& s) { box->SetValue(s.Output.*field); },
             [box, field](SettingsRecord& s) { s.Output.*field = box->Value(); }});
    };
    const auto quality = [&](int32_t OutputGroup::*field, const QString& key) {
        SliderSpin* slider = rows.Slider(1, "Image Quality", "Output/" + key, 1, 100);
        m_extras.push_back(
            {[slider, field](const SettingsRecord& s) { slider->SetValue(s.Output.*field); },
             [slider, field](SettingsRecord& s) { s.Output.*field = slider->Value(); }});
    };
    if (id == "bmp") {
        choice(1, "Compression", &OutputGroup::BMPCompression, {"None", "RLE"}, "BMP Compression");
        choice(2, "Color Table", &OutputGroup::BMPColorTable, {"Auto", "Exact"}, "BMP Color Table");
    } else if (id == "exr") {
        choice(1, "Compression", &OutputGroup::EXRCompression,
               {"None", "ZIP", "PIZ", "PXR24", "B44"}, "EXR Compression");
    } else if (id == "jpg") {
        quality(&OutputGroup::JPGQuality, "JPG Quality");
        choice(2, "Chroma Subsampling", &OutputGroup::JPGChroma, {"None", "Low", "Medium", "High"},
               "JPG Chroma");
        choice(3, "Save As", &OutputGroup::JPGSaveAs,
               {"Baseline Standard", "Baseline Simple", "Baseline Optimized", "Progressive"},
               "JPG Save As");
    } else if (id == "pcx") {
        // One entry, always selected and never stored.
        ChoiceBox* rle = rows.Choice(1, "Compression", "Output/PCX Compression", {"RLE"});
        rle->setCurrentIndex(0);
    } else if (id == "png") {
        choice(1, "Compression", &OutputGroup::PNGCompression, {"None", "ZLIB1", "ZLIB6", "ZLIB9"},
               "PNG Compression");
        QCheckBox* interlaced = rows.Check(2, "Interlaced", "Output/PNG Interlaced");
        m_extras.push_back({[interlaced](const SettingsRecord& s) {
                                interlaced->setChecked(s.Output.PNGInterlaced != 0);
                            },
                            [interlaced](SettingsRecord& s) {
                                s.Output.PNGInterlaced = interlaced->isChecked() ? 1 : 0;
                            }});
    } else if (id == "tga") {
        choice(1, "Compression", &OutputGroup::TGACompression, {"None", "RLE"}, "TGA Compression");
    } else if (id == "tiff") {
        choice(1, "Compression", &OutputGroup::TIFFCompression,
               {"None", "CCITTFAX3", "CCITTFAX4", "PACKBITS", "DEFLATE", "ADOBEDEFLATE", "LZW",
                "JPEG", "LOGLUV"},
               "TIFF Compression");
        choice(2, "Color Model", &OutputGroup::TIFFColorModel, {"RGB", "CMYK"}, "TIFF Color Model");
    } else if (id == "webp") {
        quality(&OutputGroup::WEBPQuality, "WEBP Quality");
    }
}

void OutputPage::ShowFormatPanel() {
    const int index = m_format->currentIndex();
    if (index < 0)
        m_panelStack->setCurrentWidget(m_noPanel);
    else
        m_panelStack->setCurrentWidget(m_panels.at(static_cast<size_t>(index)));
}

void OutputPage::Load(const SettingsRecord& s) {
    m_loadedFormat = s.Output.Format;
    const auto it = std::find(OutputFormats.begin(), OutputFormats.end(), s.Output.Format);
    m_format->setCurrentIndex(
        it == OutputFormats.end() ? -1 : static_cast<int>(it - OutputFormats.begin()));
    SettingsRecord record = s; // the depth fields are looked up by identifier
    for (size_t i = 0; i < OutputFormats.size(); ++i) {
        const int32_t* depth = FormatDepthSetting(record, OutputFormats[i]);
        m_depths[i]->SetValue(depth ? *depth : 0);
    }
    for (const Extra& extra : m_extras)
        extra.load(s);
    ShowFormatPanel();
}

void OutputPage::Store(SettingsRecord& s) const {
    const int index = m_format->currentIndex();
    // An identifier the list does not know (a hand-edited file) is kept as it was.
    s.Output.Format =
        index < 0 ? m_loadedFormat
                  : OutputFormats.at(static_cast<size_t>(m_format->itemData(index).toInt()));
    for (size_t i = 0; i < OutputFormats.size(); ++i) {
        // Auto, and a depth the format does not allow (nothing selected), store 0.
        const ChoiceBox* depth = m_depths[i];
        if (int32_t* field = FormatDepthSetting(s, OutputFormats[i]))
            *field = depth->currentIndex() < 0 ? 0 : depth->currentData().toInt();
    }
    for (const Extra& extra : m_extras)
        extra.store(s);
}

} // namespace qm::gui
