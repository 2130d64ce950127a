#include "app/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

bool ReplaceFileContents(const std::string& path, std::string_view text) {
    if (path.empty())
        return false;
    // Replace the file a symbolic link points to, not the link.
    std::string target = path;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (!resolved)
            return false;
        target = resolved;
        free(resolved);
    }
    const size_t slash = target.rfind('/');
    const bool bare = slash == std::string::npos;
    const std::string folder = bare ? "." : target.substr(0, slash + 1);
    std::string temp =
        (bare ? std::string() : folder) + "." + target.substr(bare ? 0 : slash + 1) + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    // Keep the permissions of the file being replaced.
    if (stat(target.c_str(), &info) == 0)
        fchmod(fd, info.st_mode & 07777);
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

} // namespace qm
