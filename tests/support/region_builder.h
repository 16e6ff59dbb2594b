// Building region files in tests: chunks at chosen sectors with chosen
// lengths, compression bytes, timestamps and contents.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zoviru.h"

namespace rb {

struct chunk {
    unsigned index;          // chunk number, 0..1023
    uint32_t sector;         // sector number in the location entry
    uint8_t sectors;         // sector count in the location entry
    std::vector<uint8_t> data; // bytes after the compression byte
    uint8_t compression = 2; // 1 gzip, 2 zlib, anything else
    uint32_t timestamp = 0;
    std::optional<int32_t> length = {}; // the length field; default data.size() + 1
};

// The compressed form of a tree, for chunk::data.
std::vector<uint8_t> compressed(const nbt_node *tree, nbt_compression c = COMPRESSION_ZLIB);

// A region file holding the chunks. The file is at least min_size bytes and
// reaches to the end of the last chunk's sectors (or of its data, if longer).
std::vector<uint8_t> build(const std::vector<chunk> &chunks, size_t min_size = 8192);

// Writes bytes to path, replacing the file.
void write_file(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> read_file(const std::string &path);

} // namespace rb
