// A region-builder chunk with every field given, so that tables of chunks
// stay one line per chunk.
#pragma once

#include "region_builder.h"

inline rb::chunk chunk_spec(unsigned index, uint32_t sector, uint8_t sectors, std::vector<uint8_t> data,
                            uint8_t compression = 2, uint32_t timestamp = 0, std::optional<int32_t> length = {})
{
    rb::chunk c;
    c.index = index;
    c.sector = sector;
    c.sectors = sectors;
    c.data = std::move(data);
    c.compression = compression;
    c.timestamp = timestamp;
    c.length = length;
    return c;
}
