#include "gui/theme_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qm::gui {
namespace {

constexpr size_t kMaxEntries = 4096;
constexpr size_t kMaxTotalBytes = 64u << 20;

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

// Opens a zip archive through its central directory; null when the file is missing, empty,
// no zip archive or cut short (no directory at its end).
ArchivePtr OpenZip(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec) ||
        std::filesystem::file_size(path, ec) == 0 || ec)
        return nullptr;
    ArchivePtr a(archive_read_new());
    if (!a || archive_read_support_format_zip_seekable(a.get()) != ARCHIVE_OK)
        return nullptr;
    if (archive_read_open_filename(a.get(), path.c_str(), 16384) != ARCHIVE_OK)
        return nullptr;
    return a;
}

// Reads the current entry's data, at most `limit` bytes. False on a damaged entry.
bool ReadEntryData(archive* a, size_t limit, std::string& data) {
    data.clear();
    char buffer[16384];
    for (;;) {
        const la_ssize_t n = archive_read_data(a, buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        const size_t room = limit - data.size();
        data.append(buffer, std::min(static_cast<size_t>(n), room));
        if (data.size() >= limit)
            return archive_read_data_skip(a) == ARCHIVE_OK;
    }
}

} // namespace

bool ReadThemeArchive(const std::string& path, ArchiveEntries& entries, size_t entryLimit) {
    entries.clear();
    ArchivePtr a = OpenZip(path);
    if (!a)
        return false;
    archive_entry* entry = nullptr;
    size_t total = 0;
    int r = ARCHIVE_OK;
    bool headerSeen = false;
    while ((r = archive_read_next_header(a.get(), &entry)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
        headerSeen = true;
        const char* name = archive_entry_pathname(entry);
        if (!name || archive_entry_filetype(entry) != AE_IFREG)
            continue;
        std::string data;
        if (!ReadEntryData(a.get(), entryLimit, data))
            break;
        if (data.empty())
            continue;
        total += data.size();
        if (entries.size() >= kMaxEntries || total > kMaxTotalBytes)
            break;
        entries[name] = std::move(data);
    }
    // A file whose very first header cannot be read is no zip archive.
    return headerSeen || r == ARCHIVE_EOF;
}

std::string ReadArchiveEntryStart(const std::string& path, const std::string& name, size_t limit) {
    ArchivePtr a = OpenZip(path);
    if (!a)
        return {};
    archive_entry* entry = nullptr;
    for (size_t count = 0; count < kMaxEntries; ++count) {
        const int r = archive_read_next_header(a.get(), &entry);
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN)
            break;
        const char* entryName = archive_entry_pathname(entry);
        if (!entryName || name != entryName)
            continue;
        std::string data;
        if (!ReadEntryData(a.get(), limit, data))
            return {};
        return data;
    }
    return {};
}

} // namespace qm::gui
