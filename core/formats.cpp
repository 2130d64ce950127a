#include "core/formats.h"

#include <algorithm>
#include <map>

#include "core/settings.h"

namespace qm {
namespace {

// Each row sits at the index of its kind, so FormatRow needs no search.
constexpr bool RowsInKindOrder() {
    for (size_t i = 0; i < OutputFormatTable.size(); ++i)
        if (static_cast<size_t>(OutputFormatTable[i].kind) != i)
            return false;
    return true;
}
static_assert(RowsInKindOrder());

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

} // namespace

void BuildOutputFormats() {}

void BuildInputExtensions() {
    InputTable();
}

const OutputFormat* FindOutputFormat(std::string_view id) {
    for (const OutputFormat& row : OutputFormatTable)
        if (row.id == id)
            return &row;
    return nullptr;
}

int32_t FormatCode(std::string_view id) {
    const OutputFormat* row = FindOutputFormat(id);
    return row ? row->code : -1;
}

std::string FormatDescription(std::string_view id) {
    const OutputFormat* row = FindOutputFormat(id);
    return row ? std::string(row->description) : std::string();
}

std::vector<int32_t> AllowedDepths(std::string_view id) {
    const OutputFormat* row = FindOutputFormat(id);
    if (!row)
        return {};
    const std::span<const int32_t> depths = row->Depths();
    return {depths.begin(), depths.end()};
}

bool IsDevilFormat(std::string_view id) {
    const OutputFormat* row = FindOutputFormat(id);
    return row && row->writer == FormatWriter::Devil;
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
