#include "app/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qm {

namespace {

std::string AbsoluteFolderFromEnvironment(const char* name) {
    const char* value = getenv(name);
    if (!value || value[0] != '/')
        return {};
    std::string folder = value;
    if (!folder.ends_with('/'))
        folder += '/';
    return folder;
}

} // namespace

std::string InstanceLockFolder() {
    std::string folder = AbsoluteFolderFromEnvironment("XDG_RUNTIME_DIR");
    if (folder.empty())
        folder = AbsoluteFolderFromEnvironment("TMPDIR");
    return folder.empty() ? std::string("/tmp/") : folder;
}

int AcquireInstance(const std::string& title) {
    const std::string path = InstanceLockFolder() + title + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return NoInstanceLock;
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return fd;
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? AnotherInstanceRuns : NoInstanceLock;
}

void ReleaseInstance(int handle) {
    if (handle >= 0)
        close(handle);
}

} // namespace qm
