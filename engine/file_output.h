// Writing output files with every write, flush and close checked, so that a full disk or a
// failing device fails the file instead of leaving a truncated one reported as written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/bitmap.h"

namespace qm {

/// A file created (or truncated) for writing. Every write, seek, flush and the close are
/// checked; once one fails the file stays failed, and Close() reports it.
class CheckedFile {
public:
    explicit CheckedFile(const std::string& path);
    ~CheckedFile();
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    /// Writes count items of size bytes; returns the number of whole items written.
    size_t Write(const void* data, size_t size, size_t count);
    bool Seek(long offset, int origin);
    long Tell();
    /// Flushes and closes the file. False when it never opened or any step failed.
    bool Close();

private:
    FILE* m_file = nullptr;
    bool m_failed = false;
};

/// Writes data to path, replacing the file. False when the file cannot be created or written
/// in full. Like every writer below it leaves a failed file for the caller to remove: outputs
/// are written to a temporary file that the caller owns.
bool WriteBytesToFile(const std::vector<uint8_t>& data, const std::string& path);

/// FreeImage_Save through a CheckedFile: false when the library refuses the bitmap or any write,
/// flush or the close fails.
bool SaveFreeImageFile(int format, FIBITMAP* dib, const std::string& path, int flags);

} // namespace qm
