#include "engine/conversion_job.h"

#include <random>
#include <unistd.h>

namespace qm {

ConversionJobRecord ConversionJob;
ConversionProgressRecord ConversionProgress;
std::mutex ProgressLock;
InputListMap InputList;

InputEntry& InputListMap::operator[](const std::string& path) {
    auto it = m_index.find(path);
    if (it != m_index.end())
        return m_order[it->second].second;
    m_index.emplace(path, m_order.size());
    m_order.emplace_back(path, InputEntry{});
    return m_order.back().second;
}

const InputEntry* InputListMap::Find(const std::string& path) const {
    auto it = m_index.find(path);
    return it == m_index.end() ? nullptr : &m_order[it->second].second;
}

bool InputListMap::Remove(const std::string& path) {
    auto it = m_index.find(path);
    if (it == m_index.end())
        return false;
    m_order[it->second] = {};
    m_index.erase(it);
    return true;
}

void InputListMap::Clear() {
    m_order.clear();
    m_index.clear();
}

int32_t NewRandomNumber() {
    // One engine for the program; the worker and the interface thread both draw from it.
    static std::mutex lock;
    static std::mt19937 engine{std::random_device{}()};
    std::lock_guard<std::mutex> guard(lock);
    return std::uniform_int_distribution<int32_t>(1, 99999)(engine);
}

std::string ExecutableFolder() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return "./";
    path.resize(static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

void ResetConversionJob() {
    ConversionJob = ConversionJobRecord{};
    ConversionJob.ProgramFolder = ExecutableFolder();
    ConversionJob.RandomNumber = NewRandomNumber();
    ConversionJob.SuccessCounter = 1;
    InputList.Clear();
}

void ResetConversionProgress() {
    std::lock_guard<std::mutex> lock(ProgressLock);
    ConversionProgress.FilesStarted = 0;
    ConversionProgress.CurrentFile.clear();
    ConversionProgress.FilesConverted = 0;
    ConversionProgress.KeepRunning = 1;
}

} // namespace qm
