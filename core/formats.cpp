#include "core/formats.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "core/settings.h"

namespace qm {
namespace {

struct FormatRow {
    const char* id;
    int32_t code;
    const char* description;
    const char* depths;
};

// FreeImage's FREE_IMAGE_FORMAT values are spelled out so that the core model stays free of
// the imaging libraries.
constexpr FormatRow FormatRows[] = {
    {"bmp", 0, "Windows or OS/2 Bitmap", "1,4,8,16,24,32"},
    {"dds", DevilDdsCode, "DirectDraw Surface", "32"},
    {"exr", 29, "ILM OpenEXR", "96"},
    {"gif", 25, "Graphics Interchange Format", "8"},
    {"hdr", 26, "High Dynamic Range Image", "96"},
    {"ico", 1, "Windows Icon", "1,4,8,16,24,32"},
    {"j2k", 30, "JPEG-2000 Codestream", "8,24,32,48"},
    {"jng", 3, "JPEG Network Graphics", "24,32"},
    {"jp2", 31, "JPEG-2000 File Format", "8,24,32,48"},
    {"jpg", 2, "JPEG File Format", "8,24"},
    {"jxr", 36, "JPEG XR Image Format", "1,8,16,24,32,48,96"},
    {"pbm", 7, "Portable Bitmap", "1"},
    {"pcx", DevilPcxCode, "ZSoft Paintbrush", "24"},
    {"pfm", 32, "Portable Floatmap", "96"},
    {"pgm", 11, "Portable Greymap", "8"},
    {"png", 13, "Portable Network Graphics", "1,4,8,24,32,48"},
    {"ppm", 14, "Portable Pixelmap", "24,48"},
    {"psd", DevilPsdCode, "Adobe Photoshop", "32"},
    {"tga", 17, "Truevision Targa", "8,16,24,32"},
    {"tiff", 18, "Tagged Image File Format", "1,4,8,24,32,48,96"},
    {"wbmp", 19, "Wireless Bitmap", "1"},
    {"webp", 35, "Google WebP Image Format", "24,32"},
    {"xpm", 23, "X11 Pixmap Format", "24"},
};

const std::map<std::string, OutputFormat, std::less<>>& OutputTable() {
    static const std::map<std::string, OutputFormat, std::less<>> table = [] {
        std::map<std::string, OutputFormat, std::less<>> t;
        for (const FormatRow& row : FormatRows)
            t.emplace(row.id, OutputFormat{row.code, row.id, row.description, row.depths});
        return t;
    }();
    return table;
}

const std::map<std::string, InputExtension, std::less<>>& InputTable() {
    static const std::map<std::string, InputExtension, std::less<>> table = [] {
        std::map<std::string, InputExtension, std::less<>> t;
        t.emplace("emf", InputExtension{"emf", "Enhanced Metafile Format"});
        // An alias row repeats the group and description of the row it stands for.
        t.emplace("emz", t.at("emf"));
        return t;
    }();
    return table;
}

// The depth list is parsed on each use, field by field.
std::vector<int32_t> ParseDepths(std::string_view list) {
    std::vector<int32_t> depths;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view field = list.substr(0, comma);
        int32_t value = 0;
        std::from_chars(field.data(), field.data() + field.size(), value);
        depths.push_back(value);
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    return depths;
}

} // namespace

void BuildOutputFormats() {
    OutputTable();
}

void BuildInputExtensions() {
    InputTable();
}

const OutputFormat* FindOutputFormat(std::string_view id) {
    const auto& table = OutputTable();
    const auto it = table.find(id);
    return it == table.end() ? nullptr : &it->second;
}

int32_t FormatCode(std::string_view id) {
    const OutputFormat* row = FindOutputFormat(id);
    return row ? row->code : -1;
}

std::string FormatDescription(std::string_view id) {
    const OutputFormat* row = FindOutputFormat(id);
    return row ? row->description : std::string();
}

std::vector<int32_t> AllowedDepths(std::string_view id) {
    const OutputFormat* row = FindOutputFormat(id);
    return row ? ParseDepths(row->depths) : std::vector<int32_t>{};
}

bool IsDevilFormat(std::string_view id) {
    return id == "psd" || id == "dds" || id == "pcx";
}

int32_t ChooseAutoDepth(std::string_view id, int32_t depth) {
    int32_t last = 0;
    for (int32_t entry : AllowedDepths(id)) {
        last = entry;
        if (depth <= entry)
            break;
    }
    return last;
}

bool IsAllowedDepth(std::string_view id, int32_t depth) {
    if (!FindOutputFormat(id))
        return false;
    const std::vector<int32_t> depths = AllowedDepths(id);
    return depth == 0 || std::find(depths.begin(), depths.end(), depth) != depths.end();
}

const InputExtension* FindInputExtension(std::string_view extension) {
    const auto& table = InputTable();
    const auto it = table.find(extension);
    return it == table.end() ? nullptr : &it->second;
}

std::vector<std::string> AcceptedInputExtensions() {
    std::vector<std::string> accepted;
    for (const auto& [extension, row] : InputTable())
        if (std::find(InputFormats.begin(), InputFormats.end(), row.group) != InputFormats.end())
            accepted.push_back(extension);
    return accepted;
}

} // namespace qm
