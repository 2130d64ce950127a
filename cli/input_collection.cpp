#include "cli/input_collection.h"

#include "core/unicode.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "core/formats.h"
#include "core/text_case.h"
#include "engine/conversion_job.h"

namespace qm {

namespace {

InputFileAddedHook g_addedHook = nullptr;

// Folders already walked during one scan, by device and inode, so that symbolic links that lead
// back up the tree (or to a folder seen elsewhere) are not followed again.
using VisitedFolders = std::set<std::pair<dev_t, ino_t>>;

// A list line longer than this can't name anything; the rest of such a line is dropped unread.
constexpr size_t kMaxListLine = 64 * 1024;

// The text after the last "." of the last path component, or "" when it has none.
std::string_view ExtensionOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Records the folder as visited; false when it was walked already during this scan.
bool Visit(const std::string& folder, VisitedFolders& visited) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return false;
    return visited.insert({st.st_dev, st.st_ino}).second;
}

enum class EntryKind { File, Folder, Missing };

EntryKind KindOf(const std::string& path, unsigned char type) {
    if (type == DT_DIR)
        return EntryKind::Folder;
    if (type == DT_REG)
        return EntryKind::File;
    // Links and file systems that don't report the type: ask for the target.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return EntryKind::Missing;
    return S_ISDIR(st.st_mode) ? EntryKind::Folder : EntryKind::File;
}

int ScanFolderOnce(const std::string& folder, VisitedFolders& visited);

// The system refuses paths this long; the walk goes on without the entry, but says so.
bool PathTooLong(const std::string& path) {
    if (path.size() < PATH_MAX)
        return false;
    std::fprintf(stderr, "Skipped (path longer than %d bytes): %s\n", PATH_MAX - 1, path.c_str());
    return true;
}

// One entry of a folder listing: its name and the type the listing reports.
struct FolderEntry {
    std::string name;
    unsigned char type = DT_UNKNOWN;
};

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The entries of a folder sorted by the bytes of their names, so that the order of processing
// and %n% numbering do not depend on the file system; "." and ".." left out. Empty when the
// folder cannot be read.
std::vector<FolderEntry> SortedEntries(const std::string& folder) {
    std::vector<FolderEntry> entries;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return entries;
    while (const dirent* entry = readdir(dir))
        if (!IsDotEntry(entry->d_name))
            entries.push_back({entry->d_name, entry->d_type});
    closedir(dir);
    // std::string compares bytes as unsigned values: the byte order of the UTF-8 names.
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

// Adds one listing entry (a file or a whole subfolder) found in folder.
int AddListedEntry(const std::string& folder, const FolderEntry& entry, VisitedFolders& visited) {
    const std::string path = folder + entry.name;
    if (PathTooLong(path))
        return 0;
    switch (KindOf(path, entry.type)) {
    case EntryKind::Folder:
        return ScanFolderOnce(path + "/", visited);
    case EntryKind::File:
        return AddInputFile(path);
    case EntryKind::Missing:
        break; // a dangling link names no file
    }
    return 0;
}

int ScanFolderOnce(const std::string& folder, VisitedFolders& visited) {
    if (!Visit(folder, visited))
        return 0;
    int count = 0;
    for (const FolderEntry& entry : SortedEntries(folder))
        count += AddListedEntry(folder, entry, visited);
    return count;
}

void PublishStarted(int32_t started) {
    std::lock_guard<std::mutex> lock(ProgressLock);
    ConversionProgress.FilesStarted = started;
}

void PublishAdded(int32_t added) {
    std::lock_guard<std::mutex> lock(ProgressLock);
    ConversionProgress.FilesConverted += added;
}

bool KeepRunning() {
    return ConversionProgress.KeepRunning.load() == 1;
}

// Waits while the interface holds the worker between units; false when it was told to stop.
bool PassBetweenUnits() {
    ConversionProgress.Pause.Pass();
    return KeepRunning();
}

bool IsBinaryByte(char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
}

// Length of a byte-order mark (UTF-8, UTF-16 or UTF-32) at the start of data, else 0.
size_t ByteOrderMarkLength(std::string_view data) {
    using namespace std::string_view_literals;
    for (std::string_view bom :
         {"\xFF\xFE\x00\x00"sv, "\x00\x00\xFE\xFF"sv, "\xEF\xBB\xBF"sv, "\xFF\xFE"sv, "\xFE\xFF"sv})
        if (data.substr(0, bom.size()) == bom)
            return bom.size();
    return 0;
}

// Imports one trimmed list line; returns the number of files added.
int ImportListLine(std::string_view line, int32_t& started, VisitedFolders& visited) {
    if (line.empty() || !IsValidUtf8(line))
        return 0;
    std::string path(line);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return 0;
    PublishStarted(++started);
    if (S_ISDIR(st.st_mode)) {
        if (path.back() != '/')
            path += '/';
        return ScanFolderOnce(path, visited);
    }
    return AddInputFile(path);
}

// Splits a byte stream into lines ending at CR LF, LF or CR, handing each to ImportListLine.
class ListReader {
public:
    int Added() const { return m_added; }

    // Feeds the next block; false when the import must stop. Control characters other than tab
    // and the line ends never occur in a text list: from there on the file is binary, UTF-16
    // or past a DOS end-of-file mark, and the import ends without reading the rest as paths.
    bool Feed(std::string_view block) {
        for (char c : block) {
            if (IsBinaryByte(c))
                return false;
            if (m_afterCr && c == '\n') {
                m_afterCr = false;
                continue;
            }
            m_afterCr = false;
            if (c == '\r' || c == '\n') {
                m_afterCr = c == '\r';
                if (!EndLine())
                    return false;
            } else if (m_line.size() < kMaxListLine) {
                m_line += c;
            } else {
                m_tooLong = true;
            }
        }
        return true;
    }

    // Ends the current line; false when the import must stop before the next one.
    bool EndLine() {
        if (!PassBetweenUnits())
            return false;
        if (!m_tooLong)
            m_added += ImportListLine(Trim(m_line), m_started, m_visited);
        m_line.clear();
        m_tooLong = false;
        return KeepRunning();
    }

private:
    std::string m_line;
    bool m_tooLong = false;
    bool m_afterCr = false;
    int32_t m_started = 0;
    VisitedFolders m_visited; // a folder listed again (or inside one listed) is walked once
    int m_added = 0;
};

} // namespace

InputFileAddedHook SetInputFileAddedHook(InputFileAddedHook hook) {
    return std::exchange(g_addedHook, hook);
}

bool IsAcceptedExtension(std::string_view extension) {
    static const std::vector<std::string> accepted = AcceptedInputExtensions();
    return std::find(accepted.begin(), accepted.end(), extension) != accepted.end();
}

std::string RelativeSubfolder(std::string_view path, std::string_view base) {
    if (path.empty() || base.empty())
        return {};
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    const std::string_view folder = path.substr(0, slash + 1);
    // Only a path that starts with the base lies below it.
    if (folder.substr(0, base.size()) != base)
        return {};
    return std::string(folder.substr(base.size()));
}

int AddInputFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return 0;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && st.st_size == 0)
        return 0;
    if (!IsAcceptedExtension(LowerAscii(ExtensionOf(path))))
        return 0;
    const InputEntry* existing = InputList.Find(path);
    if (existing != nullptr && existing->Added == 1)
        return 0;
    InputEntry& entry = InputList[path];
    entry.Subfolder = RelativeSubfolder(path, ConversionJob.InputFolder);
    entry.Added = 1;
    if (ConversionJob.ConsoleRun == 0 && g_addedHook != nullptr)
        g_addedHook(path);
    return 1;
}

int ScanFolder(const std::string& folder) {
    VisitedFolders visited;
    return ScanFolderOnce(folder, visited);
}

void ImportFolder() {
    const std::string folder = ConversionJob.InputFolder;
    int added = 0;
    VisitedFolders visited;
    if (!folder.empty() && Visit(folder, visited)) {
        const std::vector<FolderEntry> entries = SortedEntries(folder);
        int32_t started = 0;
        for (size_t i = 0; i < entries.size() && PassBetweenUnits(); ++i) {
            PublishStarted(++started);
            added += AddListedEntry(folder, entries[i], visited);
        }
    }
    PublishAdded(added);
}

void ImportListFile() {
    const std::string& listPath = ConversionJob.InputPath;
    ListReader reader;
    const int fd = listPath.empty() ? -1 : open(listPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        std::string buffer(64 * 1024, '\0');
        bool first = true;
        bool running = KeepRunning();
        while (running) {
            const ssize_t n = read(fd, buffer.data(), buffer.size());
            if (n <= 0)
                break; // end of file, or a read error (a folder, an I/O fault)
            std::string_view block(buffer.data(), static_cast<size_t>(n));
            if (first)
                block.remove_prefix(ByteOrderMarkLength(block));
            first = false;
            running = reader.Feed(block);
        }
        if (running)
            reader.EndLine(); // the last line has no line end
        close(fd);
    }
    PublishAdded(reader.Added());
}

} // namespace qm
