// Writes the seed corpora: random trees from the test generator, uncompressed
// and compressed, and region files built from them by the test region
// builder. Usage: fuzz_make_seeds <fuzz-dir>
#include <cstdio>
#include <string>

#include "region_builder.h"
#include "tree_builder.h"

namespace {

// Chunks of random trees one after another from sector 2; the file ends right
// after the last chunk's data, so that the seeds stay small.
std::vector<uint8_t> region_of_trees(unsigned seed, unsigned count)
{
    std::mt19937 rng(seed);
    std::vector<rb::chunk> chunks;
    uint32_t sector = 2;
    size_t end = 8192;
    for (unsigned k = 0; k < count; k++) {
        tb::tree_ptr tree(tb::random_tree(rng, 3));
        auto data = rb::compressed(tree.get(), k % 2 ? COMPRESSION_GZIP : COMPRESSION_ZLIB);
        auto sectors = uint8_t((data.size() + 5 + 4095) / 4096);
        unsigned index = (seed * 97 + k * 131) % 1024;
        end = size_t(sector) * 4096 + 5 + data.size();
        chunks.push_back({index, sector, sectors, data, uint8_t(k % 2 ? 1 : 2), uint32_t(rng())});
        sector += sectors;
    }
    auto file = rb::build(chunks);
    file.resize(end);
    return file;
}

// One chunk of every kind the listing refuses or does not decode, next to a
// good one.
std::vector<uint8_t> region_of_damage()
{
    tb::tree_ptr tree(tb::compound("", {tb::i32("x", 1)}));
    auto good = rb::compressed(tree.get(), COMPRESSION_ZLIB);
    return rb::build({
        {0, 2, 1, good},
        {1, 900, 1, good},                // beyond the end of the file (cut below)
        {2, 3, 1, good, 2, 0, -5},        // negative length
        {3, 4, 1, good, 2, 0, 4097},      // longer than its sector
        {4, 5, 1, {}, 1, 0, 0},           // gzip without its type byte
        {5, 6, 1, good, 3},               // stored uncompressed: listed only
        {6, 7, 1, std::vector<uint8_t>(40, 0xff), 2}, // not a zlib stream
        {7, 8, 0, good},                  // empty slot
        {8, 9, 1, good, 1, 4294967295u},  // gzip type holding zlib data
    }, 0);
}

void write_region_seeds(const std::string &dir)
{
    rb::write_file(dir + "/seed_01", std::vector<uint8_t>(8192, 0));
    for (unsigned seed = 2; seed <= 5; seed++) {
        char name[32];
        snprintf(name, sizeof name, "/seed_%02u", seed);
        rb::write_file(dir + name, region_of_trees(seed, seed));
    }
    auto damaged = region_of_damage();
    damaged.resize(10 * 4096);
    rb::write_file(dir + "/seed_06", damaged);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <fuzz-dir>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    for (int seed = 1; seed <= 24; seed++) {
        std::mt19937 rng(seed);
        tb::tree_ptr tree(tb::random_tree(rng, 1 + seed % 5));
        char name[32];
        snprintf(name, sizeof name, "/seed_%02d", seed);
        rb::write_file(dir + "/corpus/parse" + name, tb::binary(tree.get()));
        rb::write_file(dir + "/corpus/parse_compressed" + name,
                       rb::compressed(tree.get(), seed % 2 ? COMPRESSION_GZIP : COMPRESSION_ZLIB));
    }
    write_region_seeds(dir + "/corpus/region");
    return 0;
}
