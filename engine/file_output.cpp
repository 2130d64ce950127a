#include "engine/file_output.h"

#include <FreeImage.h>

namespace qm {

CheckedFile::CheckedFile(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {}

CheckedFile::~CheckedFile() {
    if (m_file)
        std::fclose(m_file);
}

size_t CheckedFile::Write(const void* data, size_t size, size_t count) {
    if (!m_file || m_failed)
        return 0;
    const size_t written = std::fwrite(data, size, count, m_file);
    if (written != count)
        m_failed = true;
    return written;
}

bool CheckedFile::Seek(long offset, int origin) {
    if (!m_file || std::fseek(m_file, offset, origin) != 0)
        m_failed = true;
    return !m_failed;
}

long CheckedFile::Tell() {
    const long at = m_file ? std::ftell(m_file) : -1;
    if (at < 0)
        m_failed = true;
    return at;
}

bool CheckedFile::Close() {
    if (!m_file)
        return false;
    // Buffered data meets a full disk here at the latest.
    const bool flushed = std::fflush(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return flushed && closed && !m_failed;
}

bool WriteBytesToFile(const std::vector<uint8_t>& data, const std::string& path) {
    CheckedFile out(path);
    if (!out.IsOpen())
        return false;
    out.Write(data.data(), 1, data.size());
    return out.Close();
}

namespace {

CheckedFile* FileOf(fi_handle handle) {
    return static_cast<CheckedFile*>(handle);
}

unsigned DLL_CALLCONV ReadNothing(void*, unsigned, unsigned, fi_handle) {
    return 0;
}
unsigned DLL_CALLCONV WriteChecked(void* buffer, unsigned size, unsigned count, fi_handle h) {
    return static_cast<unsigned>(FileOf(h)->Write(buffer, size, count));
}
int DLL_CALLCONV SeekChecked(fi_handle h, long offset, int origin) {
    return FileOf(h)->Seek(offset, origin) ? 0 : -1;
}
long DLL_CALLCONV TellChecked(fi_handle h) {
    return FileOf(h)->Tell();
}

} // namespace

bool SaveFreeImageFile(int format, FIBITMAP* dib, const std::string& path, int flags) {
    if (!dib)
        return false;
    FreeImageIO io{ReadNothing, WriteChecked, SeekChecked, TellChecked};
    CheckedFile out(path);
    if (!out.IsOpen())
        return false;
    const bool saved = FreeImage_SaveToHandle(static_cast<FREE_IMAGE_FORMAT>(format), dib, &io,
                                              &out, flags) != FALSE;
    return out.Close() && saved;
}

} // namespace qm
