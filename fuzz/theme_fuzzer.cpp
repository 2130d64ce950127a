// Fuzz target for theme archives and theme.cfg.
//
// The input is cut at NUL bytes into theme.cfg's text and then pairs of entry name and entry
// data; a small real PNG is added under a name from the input. The pieces are packed into a zip
// archive, whose bytes the input's last four bytes may then damage at one place. Listing,
// naming and loading that theme must never crash, whatever the archive holds.
#include <QBuffer>
#include <QImage>
#include <archive.h>
#include <archive_entry.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "core/settings.h"
#include "gui/theme.h"

namespace {

std::vector<std::string> SplitAtNul(std::string_view text) {
    std::vector<std::string> pieces(1);
    for (char c : text) {
        if (c == '\0')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

std::string SmallPng(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(0xff336699);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out(4u << 20, '\0');
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    if (archive_write_open_memory(a, out.data(), out.size(), &used) != ARCHIVE_OK) {
        archive_write_free(a);
        return {};
    }
    for (const auto& [name, data] : entries) {
        if (name.empty())
            continue;
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
        if (archive_write_header(a, e) == ARCHIVE_OK)
            archive_write_data(a, data.data(), data.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    out.resize(used);
    return out;
}

// A scratch folder for the archive, removed when the process ends.
std::string& FolderPath() {
    static std::string folder;
    return folder;
}

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FolderPath(), ec);
}

const std::string& Folder() {
    if (FolderPath().empty()) {
        std::string path =
            (std::filesystem::temp_directory_path() / "qm_theme_fuzz_XXXXXX").string();
        if (!mkdtemp(path.data()))
            std::abort();
        FolderPath() = path;
        std::atexit(RemoveFolder);
    }
    return FolderPath();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20))
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const uint8_t mode = data[0];
    const std::vector<std::string> pieces = SplitAtNul(input.substr(1));

    // theme.cfg alone, through the reader of its values.
    const QString cfg = QString::fromUtf8(pieces[0].data(), qsizetype(pieces[0].size()));
    for (const char* key : qm::gui::IconNames)
        qm::gui::ThemeEntryName(qm::gui::CfgValue(cfg, "Icons", key), 16);
    qm::gui::CfgValue(cfg, "Theme", "Name");
    qm::gui::CfgValue(cfg, "", "");

    // The archive: theme.cfg, the input's entries, one real PNG.
    std::vector<std::pair<std::string, std::string>> entries = {{"theme.cfg", pieces[0]}};
    for (size_t i = 1; i + 1 < pieces.size(); i += 2)
        entries.emplace_back(pieces[i], pieces[i + 1]);
    if (pieces.size() > 1)
        entries.emplace_back(pieces[1] + "_16.png", SmallPng(1 + mode % 24));
    std::string zip = Zip(entries);
    if ((mode & 0x80) && size >= 5 && !zip.empty()) {
        const uint32_t place = uint32_t(data[size - 4]) << 16 | uint32_t(data[size - 3]) << 8 |
                               uint32_t(data[size - 2]);
        zip[place % zip.size()] ^= static_cast<char>(data[size - 1] | 1);
    }
    if (mode & 0x40) // the input itself as the archive
        zip.assign(input.substr(1));
    std::ofstream(Folder() + "/fuzz.zip", std::ios::binary | std::ios::trunc) << zip;

    qm::gui::SetThemeFolders({Folder()});
    qm::gui::ListThemes();
    qm::Settings.Interface.UITheme = "fuzz";
    qm::Settings.Interface.UISize = mode % 6;
    qm::gui::LoadTheme(true, true, true);
    qm::gui::FreeThemeImages();
    return 0;
}
