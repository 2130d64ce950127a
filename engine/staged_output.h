// Output files are written under a temporary name beside the output and renamed over it, so
// that a link at the output name is replaced rather than followed and a failed write leaves
// nothing behind.
#pragma once

#include <string>
#include <string_view>

#include "engine/conversion_job.h"

namespace qm {

/// Why job.OutputPath may not be written, or an empty text when it may: the name must not be
/// a folder or a special file (a FIFO would block the run, a folder would be lost), and must
/// not be the input file itself or a link to it (same device and inode). A symbolic link or a
/// regular file at the name is replaced.
std::string OutputNameProblem(const ConversionJobRecord& job);

/// A new, empty temporary file in the folder of an output name. The destructor removes it
/// unless Commit() renamed it over the output name.
class StagedOutput {
public:
    StagedOutput(const std::string& outputPath, std::string_view extension);
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    /// The temporary file; empty when it could not be created (see Error()).
    const std::string& Path() const { return m_path; }
    /// Writes the temporary file's data to the disk (once). False (cause in Error()) when the
    /// disk refuses it. Commit() and CommitAs() do it first when it has not been done.
    bool Sync();
    /// Moves the temporary file over the output name. False (cause in Error()) on failure.
    bool Commit();
    /// Moves the temporary file over another name on the same file system, with the same
    /// error text as Commit(). False (cause in Error()) on failure; the file then stays ours.
    bool CommitAs(const std::string& outputPath);
    const std::string& Error() const { return m_error; }

private:
    std::string m_output, m_path, m_error;
    bool m_synced = false;
};

} // namespace qm
