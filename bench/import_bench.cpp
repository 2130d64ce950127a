// Importing inputs: a folder tree of 10,000 small metafiles, and a list file of 100,000 lines.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/input_collection.h"
#include "engine/conversion_job.h"

namespace {

namespace fs = std::filesystem;

// Files spread over folders of 1,000 each; created once per process, removed at exit.
class Fixture {
public:
    Fixture() {
        char pattern[] = "/tmp/qm_import_bench_XXXXXX";
        m_root = std::string(mkdtemp(pattern)) + "/";
        m_tree = MakeTree("tree/", 10000);
        const std::string many = MakeTree("many/", 100000);
        std::ofstream list(m_root + "list.txt", std::ios::binary);
        for (int i = 0; i < 100000; ++i)
            list << many << (i / 1000) << "/f" << i << ".emf\r\n";
    }
    ~Fixture() { fs::remove_all(m_root); }

    const std::string& Tree() const { return m_tree; }
    std::string List() const { return m_root + "list.txt"; }

private:
    std::string MakeTree(const std::string& name, int files) {
        const std::string base = m_root + name;
        for (int i = 0; i < files; ++i) {
            const std::string folder = base + std::to_string(i / 1000) + "/";
            if (i % 1000 == 0)
                fs::create_directories(folder);
            std::ofstream(folder + "f" + std::to_string(i) + ".emf", std::ios::binary) << "EMF";
        }
        return base;
    }

    std::string m_root;
    std::string m_tree;
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void BM_ImportFolder10k(benchmark::State& state) {
    const std::string tree = Files().Tree();
    for (auto _ : state) {
        qm::ResetConversionJob();
        qm::ConversionJob.ConsoleRun = 1;
        qm::ConversionJob.InputFolder = tree;
        qm::ResetConversionProgress();
        qm::ImportFolder();
        if (qm::ConversionProgress.FilesConverted != 10000)
            state.SkipWithError("wrong file count");
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_ImportFolder10k)->Unit(benchmark::kMillisecond);

void BM_ImportList100k(benchmark::State& state) {
    const std::string list = Files().List();
    for (auto _ : state) {
        qm::ResetConversionJob();
        qm::ConversionJob.ConsoleRun = 1;
        qm::ConversionJob.InputPath = list;
        qm::ResetConversionProgress();
        qm::ImportListFile();
        if (qm::ConversionProgress.FilesConverted != 100000)
            state.SkipWithError("wrong file count");
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_ImportList100k)->Unit(benchmark::kMillisecond);

} // namespace
