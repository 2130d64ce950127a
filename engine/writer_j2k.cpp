#include "engine/writer_j2k.h"

#include "engine/library_messages.h"

#include "engine/file_output.h"
#include <FreeImage.h>

#include <openjpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qm {
namespace {

// FreeImage's rate when no flags are given, and its number of resolution levels.
constexpr float DefaultRate = 16.0f;
constexpr int MostResolutions = 6;

struct BitmapDeleter {
    void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};
struct ImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
struct CodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;
using ImagePtr = std::unique_ptr<opj_image_t, ImageDeleter>;

// The growing output of the encoder; the JP2 writer seeks back to fill in box lengths.
struct MemoryOutput {
    std::vector<uint8_t> bytes;
    size_t position = 0;
};

OPJ_SIZE_T WriteBytes(void* buffer, OPJ_SIZE_T size, void* user) {
    auto* out = static_cast<MemoryOutput*>(user);
    if (out->bytes.size() < out->position + size)
        out->bytes.resize(out->position + size);
    std::memcpy(out->bytes.data() + out->position, buffer, size);
    out->position += size;
    return size;
}

OPJ_OFF_T SkipBytes(OPJ_OFF_T size, void* user) {
    auto* out = static_cast<MemoryOutput*>(user);
    if (size < 0 && static_cast<size_t>(-size) > out->position)
        return -1;
    out->position = static_cast<size_t>(static_cast<OPJ_OFF_T>(out->position) + size);
    return size;
}

OPJ_BOOL SeekTo(OPJ_OFF_T position, void* user) {
    if (position < 0)
        return OPJ_FALSE;
    static_cast<MemoryOutput*>(user)->position = static_cast<size_t>(position);
    return OPJ_TRUE;
}

// The bitmap itself when the encoder takes it as it is, else a converted copy in `copy`, or
// null when there is no sensible conversion.
FIBITMAP* EncodableBitmap(FIBITMAP* dib, BitmapPtr& copy) {
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
    if (type == FIT_UINT16 || type == FIT_RGB16 || type == FIT_RGBA16)
        return dib;
    if (type != FIT_BITMAP)
        return nullptr;
    const unsigned bpp = FreeImage_GetBPP(dib);
    const bool grey = FreeImage_GetColorType(dib) == FIC_MINISBLACK;
    if ((bpp == 8 && grey) || bpp == 24 || bpp == 32)
        return dib;
    // Eight bits mean grey levels in this format; other grey palettes stay grey.
    if (bpp == 8 || (bpp < 8 && grey))
        copy.reset(FreeImage_ConvertToGreyscale(dib));
    else
        copy.reset(FreeImage_ConvertTo24Bits(dib));
    return copy.get();
}

// Copies one component sample per pixel from the bitmap's rows into the image, top row first.
template <typename Pixel, typename Sample>
void CopySamples(FIBITMAP* dib, opj_image_t* image, Sample sample) {
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    size_t index = 0;
    for (unsigned y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const Pixel*>(FreeImage_GetScanLine(dib, int(height - 1 - y)));
        for (unsigned x = 0; x < width; ++x, ++index)
            for (unsigned c = 0; c < image->numcomps; ++c)
                image->comps[c].data[index] = sample(row, x, c);
    }
}

void FillImage(FIBITMAP* dib, opj_image_t* image) {
    const unsigned n = image->numcomps;
    if (FreeImage_GetImageType(dib) != FIT_BITMAP) {
        // 16-bit samples, in red, green, blue, alpha order.
        CopySamples<WORD>(dib, image,
                          [n](const WORD* row, unsigned x, unsigned c) { return row[x * n + c]; });
        return;
    }
    static constexpr int byteOrder[] = {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE, FI_RGBA_ALPHA};
    CopySamples<BYTE>(dib, image, [n](const BYTE* row, unsigned x, unsigned c) {
        return n == 1 ? row[x] : row[x * n + byteOrder[c]];
    });
}

// An OpenJPEG image holding the bitmap's samples; null when the bitmap has no such layout.
ImagePtr ImageOf(FIBITMAP* dib) {
    unsigned components = 0, precision = 8;
    switch (FreeImage_GetImageType(dib)) {
    case FIT_UINT16:
        components = 1, precision = 16;
        break;
    case FIT_RGB16:
        components = 3, precision = 16;
        break;
    case FIT_RGBA16:
        components = 4, precision = 16;
        break;
    default:
        components = FreeImage_GetBPP(dib) / 8;
        break;
    }
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    if (components < 1 || components > 4 || width == 0 || height == 0)
        return nullptr;
    opj_image_cmptparm_t params[4] = {};
    for (unsigned c = 0; c < components; ++c) {
        params[c].dx = params[c].dy = 1;
        params[c].w = width;
        params[c].h = height;
        params[c].prec = precision;
    }
    ImagePtr image(
        opj_image_create(components, params, components == 1 ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
    if (!image)
        return nullptr;
    image->x1 = width;
    image->y1 = height;
    FillImage(dib, image.get());
    return image;
}

// FreeImage's encoder settings, with as many resolution levels as the smaller side allows:
// each level halves the picture, and the smallest must keep at least one pixel.
opj_cparameters_t EncoderParameters(const opj_image_t& image, int32_t saveFlags) {
    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    const unsigned shortSide = std::min(image.x1, image.y1);
    parameters.numresolution = 1;
    while (parameters.numresolution < MostResolutions && (shortSide >> parameters.numresolution))
        ++parameters.numresolution;
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = saveFlags > 0 ? static_cast<float>(saveFlags) : DefaultRate;
    parameters.cp_disto_alloc = 1;
    parameters.tcp_mct = image.numcomps == 3 ? 1 : 0;
    return parameters;
}

bool Encode(opj_image_t* image, int32_t saveFlags, J2kContainer container, MemoryOutput& out) {
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(
        opj_create_compress(container == J2kContainer::File ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(
        opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE));
    if (!codec || !stream)
        return false;
    const auto note = [](const char* message, void*) { NoteLibraryMessage("OpenJPEG", message); };
    opj_set_error_handler(codec.get(), note, nullptr);
    opj_set_warning_handler(codec.get(), note, nullptr);
    opj_stream_set_user_data(stream.get(), &out, nullptr);
    opj_stream_set_write_function(stream.get(), WriteBytes);
    opj_stream_set_skip_function(stream.get(), SkipBytes);
    opj_stream_set_seek_function(stream.get(), SeekTo);
    opj_cparameters_t parameters = EncoderParameters(*image, saveFlags);
    return opj_setup_encoder(codec.get(), &parameters, image) &&
           opj_start_compress(codec.get(), image, stream.get()) &&
           opj_encode(codec.get(), stream.get()) && opj_end_compress(codec.get(), stream.get());
}

} // namespace

std::vector<uint8_t> EncodeJ2k(FIBITMAP* dib, int32_t saveFlags, J2kContainer container) {
    if (!dib)
        return {};
    BitmapPtr copy;
    FIBITMAP* source = EncodableBitmap(dib, copy);
    ImagePtr image = source ? ImageOf(source) : nullptr;
    MemoryOutput out;
    if (!image || !Encode(image.get(), saveFlags, container, out))
        return {};
    return std::move(out.bytes);
}

bool WriteJ2k(FIBITMAP* dib, const std::string& path, int32_t saveFlags, J2kContainer container) {
    const std::vector<uint8_t> data = EncodeJ2k(dib, saveFlags, container);
    return !data.empty() && WriteBytesToFile(data, path);
}

} // namespace qm
