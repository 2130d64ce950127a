#include "cli/input_list_export.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/conversion_job.h"

namespace qm {

namespace {

constexpr size_t kFlushSize = 64 * 1024;

// The file creation mask of the process, read without changing it.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

// A file written under a temporary name beside its target and renamed over it by Commit; a
// file that is never committed is removed.
class FileBeside {
public:
    explicit FileBeside(const std::string& path) : m_target(path) {
        // Replace the file a symbolic link points to, not the link.
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
            char* resolved = realpath(path.c_str(), nullptr);
            if (!resolved)
                return;
            m_target = resolved;
            free(resolved);
        }
        const size_t slash = m_target.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : m_target.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
        m_temp = folder + "." + name + ".XXXXXX";
        m_fd = mkstemp(m_temp.data());
        if (m_fd < 0)
            return;
        // A replaced file keeps its permissions; a new one gets the usual ones.
        const bool exists = stat(m_target.c_str(), &info) == 0;
        fchmod(m_fd, exists ? info.st_mode & 07777 : 0666 & ~CurrentUmask());
    }
    ~FileBeside() {
        if (m_fd >= 0) {
            close(m_fd);
            unlink(m_temp.c_str());
        }
    }
    FileBeside(const FileBeside&) = delete;
    FileBeside& operator=(const FileBeside&) = delete;

    bool IsOpen() const { return m_fd >= 0 && m_ok; }

    void Append(std::string_view text) {
        m_buffer += text;
        if (m_buffer.size() >= kFlushSize)
            Flush();
    }

    // Writes what is left, makes it durable and puts it in place of the target.
    bool Commit() {
        Flush();
        m_ok = m_ok && fsync(m_fd) == 0;
        m_ok = close(m_fd) == 0 && m_ok;
        m_fd = -1;
        if (m_ok && rename(m_temp.c_str(), m_target.c_str()) == 0)
            return true;
        unlink(m_temp.c_str());
        return false;
    }

private:
    void Flush() {
        for (size_t done = 0; m_ok && done < m_buffer.size();) {
            const ssize_t n = write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            m_ok = n > 0;
            if (m_ok)
                done += static_cast<size_t>(n);
        }
        m_buffer.clear();
    }

    std::string m_target;
    std::string m_temp;
    std::string m_buffer;
    int m_fd = -1;
    bool m_ok = true;
};

} // namespace

int32_t WriteInputList(const std::string& path, const std::vector<std::string>& rows,
                       const BeforeExportRow& beforeRow) {
    if (path.empty())
        return 0;
    FileBeside file(path);
    if (!file.IsOpen())
        return 0;
    file.Append("\xEF\xBB\xBF");
    int32_t written = 0;
    for (const std::string& row : rows) {
        if (beforeRow && !beforeRow(written + 1))
            break;
        file.Append(row);
        file.Append("\r\n");
        ++written;
    }
    return file.Commit() ? written : 0;
}

void ExportListWorker(const std::vector<std::string>& rows) {
    const int32_t saved = WriteInputList(ConversionJob.InputPath, rows, [](int32_t row) {
        ConversionProgress.Pause.Pass();
        if (ConversionProgress.KeepRunning.load() != 1)
            return false;
        std::lock_guard<std::mutex> lock(ProgressLock);
        ConversionProgress.FilesStarted = row;
        return true;
    });
    std::lock_guard<std::mutex> lock(ProgressLock);
    ConversionProgress.FilesConverted += saved;
}

} // namespace qm
