#include "region_builder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace rb {

namespace {

void put32(std::vector<uint8_t> &v, size_t at, uint32_t x)
{
    v[at] = uint8_t(x >> 24);
    v[at + 1] = uint8_t(x >> 16);
    v[at + 2] = uint8_t(x >> 8);
    v[at + 3] = uint8_t(x);
}

} // namespace

std::vector<uint8_t> compressed(const nbt_node *tree, nbt_compression c)
{
    struct buffer b = nbt_dump_compressed(tree, c);
    if (!b.data)
        throw std::runtime_error("tree cannot be written");
    std::vector<uint8_t> v(b.data, b.data + b.len);
    free(b.data);
    return v;
}

std::vector<uint8_t> build(const std::vector<chunk> &chunks, size_t min_size)
{
    size_t size = std::max<size_t>(min_size, 8192);
    for (const auto &c : chunks) {
        size_t start = size_t(c.sector) * 4096;
        size = std::max({size, start + size_t(c.sectors) * 4096, start + 5 + c.data.size()});
    }
    std::vector<uint8_t> file(size, 0);
    for (const auto &c : chunks) {
        if (c.index >= 1024)
            throw std::out_of_range("chunk index");
        file[4 * c.index] = uint8_t(c.sector >> 16);
        file[4 * c.index + 1] = uint8_t(c.sector >> 8);
        file[4 * c.index + 2] = uint8_t(c.sector);
        file[4 * c.index + 3] = c.sectors;
        put32(file, 4096 + 4 * c.index, c.timestamp);
        size_t start = size_t(c.sector) * 4096;
        if (c.sector == 0)
            continue; // an empty slot whose count may be set
        put32(file, start, uint32_t(c.length.value_or(int32_t(c.data.size() + 1))));
        file[start + 4] = c.compression;
        std::copy(c.data.begin(), c.data.end(), file.begin() + long(start) + 5);
    }
    return file;
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace rb
