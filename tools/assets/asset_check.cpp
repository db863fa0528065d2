// Reads back the headers the writers produced (TGA, ".3d") rather than
// trusting each data file's own constants.
#include "asset_check.h"

#include <cstdint>
#include <strings.h>

#include "scenes/asset_table.h"

namespace {

int little_u16(const std::vector<uint8_t> &b, size_t at) { return b[at] | b[at + 1] << 8; }

const ArchiveFile *find_entry(const AssetList &entries, const char *name)
{
    for (const ArchiveFile &file : entries)
        if (strcasecmp(file.name.c_str(), name) == 0)
            return &file;
    return nullptr;
}

std::string check_entry(const AssetEntry &row, const std::vector<uint8_t> &data)
{
    const std::string name = row.name;
    switch (row.kind) {
    case AssetGrey:
    case AssetWords: {
        constexpr size_t TgaHeader = 18;
        if (data.size() < TgaHeader)
            return name + ": not a TGA picture";
        const int type = data[2], width = little_u16(data, 12), height = little_u16(data, 14);
        const bool grey = type == 1 || type == 3;
        if (row.kind == AssetGrey ? !grey : type != 2)
            return name + ": a TGA of type " + std::to_string(type) + ", the table wants " +
                   (row.kind == AssetGrey ? "an 8-bit picture" : "a 32-bit picture");
        if ((row.width > 0 && width != row.width) || height < row.min_rows)
            return name + ": " + std::to_string(width) + " by " + std::to_string(height) + ", the table wants " +
                   (row.width > 0 ? std::to_string(row.width) : std::string("any")) + " wide and " +
                   std::to_string(row.min_rows) + " rows at least";
        return "";
    }
    case AssetMesh: {
        const bool has_object = data.size() >= 4 && (data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24) >= 1;
        return has_object ? "" : name + ": a mesh without an object";
    }
    case AssetRaw:
        if (data.size() < size_t(row.width) * row.min_rows)
            return name + ": " + std::to_string(data.size()) + " bytes, the table wants " +
                   std::to_string(size_t(row.width) * row.min_rows);
        return "";
    }
    return name + ": an unknown kind in the table";
}

} // namespace

std::string check_against_asset_table(const AssetList &entries)
{
    for (const AssetEntry *row : AssetTable) {
        const ArchiveFile *file = find_entry(entries, row->name);
        if (!file)
            return std::string(row->name) + ": in the asset table but not generated";
        std::string problem = check_entry(*row, file->data);
        if (!problem.empty())
            return problem;
    }
    for (const ArchiveFile &file : entries)
        if (!find_asset(file.name.c_str()))
            return file.name + ": generated but not in the asset table";
    return "";
}
