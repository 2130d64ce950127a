#include "engine/jxr_codec.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/file_output.h"

// libjxr's glue header defines min and max as macros; they must not reach the code below.
#include <JXRGlue.h>
#undef min
#undef max

namespace qm {
namespace {

struct FormatEntry {
    JxrPixelFormat format;
    const PKPixelFormatGUID* guid;
    unsigned bits;
};

const FormatEntry Formats[] = {
    {JxrPixelFormat::BlackWhite, &GUID_PKPixelFormatBlackWhite, 1},
    {JxrPixelFormat::Gray8, &GUID_PKPixelFormat8bppGray, 8},
    {JxrPixelFormat::Rgb555, &GUID_PKPixelFormat16bppRGB555, 16},
    {JxrPixelFormat::Rgb565, &GUID_PKPixelFormat16bppRGB565, 16},
    {JxrPixelFormat::Bgr24, &GUID_PKPixelFormat24bppBGR, 24},
    {JxrPixelFormat::Bgra32, &GUID_PKPixelFormat32bppBGRA, 32},
    {JxrPixelFormat::Rgb48, &GUID_PKPixelFormat48bppRGB, 48},
    {JxrPixelFormat::RgbFloat96, &GUID_PKPixelFormat96bppRGBFloat, 96},
};

const FormatEntry& EntryOf(JxrPixelFormat format) {
    return *std::find_if(std::begin(Formats), std::end(Formats),
                         [&](const FormatEntry& e) { return e.format == format; });
}

void SetCodecParameters(CWMIStrCodecParam& p, const PKPixelFormatGUID& format, int quality) {
    PKPixelInfo info{};
    info.pGUIDPixFmt = &format;
    PixelFormatLookup(&info, LOOKUP_FORWARD);
    std::memset(&p, 0, sizeof p);
    p.cfColorFormat = info.cfColorFormat == Y_ONLY ? Y_ONLY : YUV_444;
    p.bdBitDepth = BD_LONG;
    p.bfBitstreamFormat = FREQUENCY;
    p.olOverlap = OL_ONE;
    p.sbSubband = SB_ALL;
    p.uAlphaMode = (info.grBit & PK_pixfmtHasAlpha) ? 2 : 0;
    // Quantizer 1 is lossless; lower qualities take coarser steps.
    const U8 qp = quality >= 100 ? 1 : static_cast<U8>(std::clamp((100 - quality) * 2, 2, 255));
    p.uiDefaultQPIndex = qp;
    p.uiDefaultQPIndexAlpha = qp;
}

// A write stream for the encoder over a CheckedFile, so that a short write fails the encode
// and the caller learns of a failed flush or close.
CheckedFile* StreamFile(WMPStream* me) {
    return static_cast<CheckedFile*>(me->state.pvObj);
}
ERR CloseStream(WMPStream** me) {
    std::free(*me); // the file itself is closed by its owner
    *me = nullptr;
    return WMP_errSuccess;
}
Bool StreamAtEnd(WMPStream*) {
    return FALSE;
}
ERR ReadNothing(WMPStream*, void*, size_t) {
    return WMP_errFileIO;
}
ERR WriteStream(WMPStream* me, const void* data, size_t size) {
    return size == 0 || StreamFile(me)->Write(data, size, 1) == 1 ? WMP_errSuccess : WMP_errFileIO;
}
ERR SetStreamPos(WMPStream* me, size_t at) {
    return StreamFile(me)->Seek(static_cast<long>(at), SEEK_SET) ? WMP_errSuccess : WMP_errFileIO;
}
ERR GetStreamPos(WMPStream* me, size_t* at) {
    const long pos = StreamFile(me)->Tell();
    if (pos < 0)
        return WMP_errFileIO;
    *at = static_cast<size_t>(pos);
    return WMP_errSuccess;
}

WMPStream* CheckedStream(CheckedFile& file) {
    auto* stream = static_cast<WMPStream*>(std::calloc(1, sizeof(WMPStream)));
    if (!stream)
        return nullptr;
    stream->state.pvObj = &file;
    stream->Close = CloseStream;
    stream->EOS = StreamAtEnd;
    stream->Read = ReadNothing;
    stream->Write = WriteStream;
    stream->SetPos = SetStreamPos;
    stream->GetPos = GetStreamPos;
    return stream;
}

} // namespace

unsigned JxrRowBytes(JxrPixelFormat format, unsigned width) {
    return (width * EntryOf(format).bits + 7) / 8;
}

bool EncodeJxrFile(const std::string& path, const JxrImage& image, int quality) {
    const unsigned stride = JxrRowBytes(image.format, image.width);
    if (image.width == 0 || image.height == 0 ||
        image.rows.size() < static_cast<size_t>(stride) * image.height)
        return false;
    const PKPixelFormatGUID& guid = *EntryOf(image.format).guid;
    CWMIStrCodecParam params;
    SetCodecParameters(params, guid, quality);
    // The encoder works on the rows in place.
    std::vector<uint8_t> rows = image.rows;

    PKFactory* factory = nullptr;
    PKCodecFactory* codecs = nullptr;
    PKImageEncode* encoder = nullptr;
    CheckedFile file(path);
    WMPStream* stream = file.IsOpen() ? CheckedStream(file) : nullptr;
    bool ok =
        stream && !Failed(PKCreateFactory(&factory, PK_SDK_VERSION)) &&
        !Failed(PKCreateCodecFactory(&codecs, WMP_SDK_VERSION)) &&
        !Failed(codecs->CreateCodec(&IID_PKImageWmpEncode, reinterpret_cast<void**>(&encoder)));
    // From here on the encoder owns the stream.
    ok = ok && !Failed(encoder->Initialize(encoder, stream, &params, sizeof params));
    if (ok)
        stream = nullptr;
    ok = ok && !Failed(encoder->SetPixelFormat(encoder, guid)) &&
         !Failed(encoder->SetSize(encoder, static_cast<I32>(image.width),
                                  static_cast<I32>(image.height))) &&
         !Failed(encoder->SetResolution(encoder, 96.0f, 96.0f)) &&
         !Failed(encoder->WritePixels(encoder, image.height, rows.data(), stride));
    if (encoder)
        encoder->Release(&encoder);
    if (stream)
        stream->Close(&stream);
    if (codecs)
        codecs->Release(&codecs);
    if (factory)
        factory->Release(&factory);
    return file.Close() && ok;
}

bool DecodeJxrFile(const std::string& path, JxrImage& image) {
    PKCodecFactory* codecs = nullptr;
    PKImageDecode* decoder = nullptr;
    if (Failed(PKCreateCodecFactory(&codecs, WMP_SDK_VERSION)))
        return false;
    bool ok = !Failed(codecs->CreateDecoderFromFile(path.c_str(), &decoder));
    if (ok) {
        // Alpha planes are decoded only when asked for.
        decoder->WMP.wmiSCP.uAlphaMode = decoder->WMP.bHasAlpha ? 2 : 0;
        PKPixelFormatGUID guid{};
        I32 width = 0, height = 0;
        decoder->GetPixelFormat(decoder, &guid);
        decoder->GetSize(decoder, &width, &height);
        PKPixelInfo info{};
        info.pGUIDPixFmt = &guid;
        PixelFormatLookup(&info, LOOKUP_FORWARD);
        image.width = static_cast<unsigned>(width);
        image.height = static_cast<unsigned>(height);
        image.bitsPerPixel = info.cbitUnit;
        image.rows.clear();
        const auto known =
            std::find_if(std::begin(Formats), std::end(Formats), [&](const FormatEntry& e) {
                return std::memcmp(e.guid, &guid, sizeof guid) == 0;
            });
        if (known != std::end(Formats)) {
            image.format = known->format;
            const U32 stride = JxrRowBytes(image.format, image.width);
            image.rows.resize(static_cast<size_t>(stride) * image.height);
            PKRect rect{0, 0, width, height};
            ok = !Failed(decoder->Copy(decoder, &rect, image.rows.data(), stride));
        }
        decoder->Release(&decoder);
    }
    codecs->Release(&codecs);
    return ok;
}

} // namespace qm
