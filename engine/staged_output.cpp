#include "engine/staged_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/naming.h"

namespace qm {

std::string OutputNameProblem(const ConversionJobRecord& job) {
    struct stat out {};
    if (lstat(job.OutputPath.c_str(), &out) != 0)
        return errno == ENOENT ? std::string()
                               : "cannot check " + job.OutputPath + ": " + std::strerror(errno);
    if (S_ISDIR(out.st_mode))
        return "the output name " + job.OutputPath + " is a folder";
    if (!S_ISREG(out.st_mode) && !S_ISLNK(out.st_mode))
        return "the output name " + job.OutputPath + " is a special file";
    // The input itself, under its own name, a hard link or a symbolic link to it.
    struct stat target {};
    struct stat in {};
    if (stat(job.OutputPath.c_str(), &target) == 0 && stat(job.InputPath.c_str(), &in) == 0 &&
        target.st_dev == in.st_dev && target.st_ino == in.st_ino)
        return "the output name " + job.OutputPath + " is the input file";
    return {};
}

StagedOutput::StagedOutput(const std::string& outputPath, std::string_view extension)
    : m_output(outputPath) {
    const std::string folder = outputPath.substr(0, outputPath.rfind('/') + 1);
    // O_EXCL: the name is ours, never an existing file or a link someone placed there.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string path =
            folder + RandomLetters("pirelo", "") + "." + std::string(extension);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            m_path = path;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    m_error = "cannot create a temporary file in " + (folder.empty() ? "." : folder) + ": " +
              std::strerror(errno);
}

StagedOutput::~StagedOutput() {
    if (!m_path.empty())
        unlink(m_path.c_str());
}

bool StagedOutput::Sync() {
    if (m_path.empty())
        return false;
    if (m_synced)
        return true;
    // Some failures (a full disk under delayed allocation, an I/O error) show only when the
    // data is written back; found here they fail the file before its name is replaced.
    const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    m_synced = fd >= 0 && fsync(fd) == 0;
    if (!m_synced)
        m_error = "cannot write " + m_path + " to the disk: " + std::strerror(errno);
    if (fd >= 0)
        close(fd);
    return m_synced;
}

bool StagedOutput::Commit() {
    return CommitAs(m_output);
}

bool StagedOutput::CommitAs(const std::string& outputPath) {
    if (m_path.empty() || !Sync())
        return false;
    if (std::rename(m_path.c_str(), outputPath.c_str()) != 0) {
        m_error = "cannot rename the written file to " + outputPath + ": " + std::strerror(errno);
        return false;
    }
    m_path.clear();
    return true;
}

} // namespace qm
