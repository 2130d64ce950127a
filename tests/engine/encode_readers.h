// Readers that check written files independently of the writer that made them.
#pragma once

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/formats.h"
#include "core/settings.h"
#include "engine/conversion_job.h"
#include "engine/encode.h"
#include "engine/naming.h"

namespace qm::test {

struct ImageInfo {
    bool ok = false;
    unsigned width = 0;
    unsigned height = 0;
    unsigned bpp = 0;
};

/// A 37 x 23 (or other size) picture with gradients and coloured blocks, opaque 32 bits.
FIBITMAP* MakePicture(unsigned width = 37, unsigned height = 23);

/// The file loaded by FreeImage (its own format detection), or null.
FIBITMAP* LoadWithFreeImage(const std::string& path);

/// Width, height and bits per pixel as DevIL reads the file.
ImageInfo ReadWithDevil(const std::string& path);
/// ... as libpng, libjpeg and libtiff read PNG, JPEG and TIFF files.
ImageInfo ReadWithLibpng(const std::string& path);
ImageInfo ReadWithLibjpeg(const std::string& path);
ImageInfo ReadWithLibtiff(const std::string& path);
/// ... as libjxr reads a JPEG XR file; pixels receives the decoded rows, top down, packed.
ImageInfo ReadWithLibjxr(const std::string& path, std::vector<uint8_t>* pixels = nullptr);
/// ... as OpenJPEG reads a JPEG 2000 codestream or JP2 file (bpp: the components' bits added).
ImageInfo ReadWithOpenJpeg(const std::string& path);

/// The largest difference of any colour channel between two bitmaps after both are brought to
/// 24 bits; -1 when the sizes differ or a conversion fails.
int MaxChannelDifference(FIBITMAP* a, FIBITMAP* b);

/// A fresh, empty folder below the system's temporary folder.
std::string TemporaryFolder(const std::string& name);

std::vector<uint8_t> ReadFileBytes(const std::string& path);

/// Settings at their console defaults, a fresh output folder per test and a job for a format and
/// depth writing into it.
struct WriterFixture : ::testing::Test {
    SettingsRecord s;
    std::string folder;
    void SetUp() override {
        ResetSettings(s, 1);
        folder = TemporaryFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    ConversionJobRecord Job(const std::string& id, int32_t depth) {
        ConversionJobRecord job;
        job.FormatId = id;
        job.FormatCode = FormatCode(id);
        job.TargetDepth = depth;
        job.SaveFlags = SaveFlagsFor(id, s);
        job.OutputFolder = folder;
        job.InputPath = "/in/out.emf";
        job.OutputPath = BuildOutputPath(job, s);
        job.TempPath = BuildTempPath(job, s);
        return job;
    }
    size_t FilesInFolder() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
    }
};

} // namespace qm::test
