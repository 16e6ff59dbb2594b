// Writes the seed corpora of the parser targets: random trees from the test
// generator, uncompressed and compressed. Usage: fuzz_make_seeds <fuzz-dir>
#include <cstdio>
#include <string>

#include "region_builder.h"
#include "tree_builder.h"

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
    return 0;
}
