// The engine headers the front ends include must not bring the imaging library with them.
#include "engine/bitmap.h"
#include "engine/conversion_job.h"
#include "engine/conversion_worker.h"
#include "engine/convert_file.h"
#include "engine/encode.h"
#include "engine/naming.h"
#include "engine/rasterise.h"
#include "engine/watermark.h"

#ifdef FREEIMAGE_H
#error "an engine header includes <FreeImage.h>"
#endif

#include <gtest/gtest.h>

TEST(EngineHeaders, OwnedBitmapsNeedNoImagingHeader) {
    qm::Bitmap none;
    EXPECT_EQ(none, nullptr);
}
