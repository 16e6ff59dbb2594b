// Writes the files that the file-system benchmarks mount, into one folder:
//   walk.nbt              a many-small-nodes tree of about 1 MB
//   compound_<n>.nbt      a root compound of n ints        (n = 1000, 10000, 100000)
//   list_<n>.nbt          a root compound holding a list of n ints
//   big.nbt               a chunk-like tree of about 100 MB
//   region.mca            a full region file: 1024 chunk-like chunks
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_data.h"

namespace {

bool save(const nbt_node *tree, const std::string &path)
{
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = nbt_dump_file(tree, fp, COMPRESSION_GZIP) == STATUS_OK;
    return fclose(fp) == 0 && ok;
}

void put32(std::vector<uint8_t> &v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; i++)
        v[at + size_t(i)] = uint8_t(x >> (24 - 8 * i));
}

bool region(const std::string &path)
{
    std::vector<uint8_t> file(8192);
    for (unsigned i = 0; i < 1024; i++) {
        nbt_node *tree = bench::make_tree(bench::shape::chunk_like, 48 << 10, i + 1);
        struct buffer b = nbt_dump_compressed(tree, COMPRESSION_ZLIB);
        nbt_free(tree);
        size_t sectors = (b.len + 5 + 4095) / 4096 + 1; // room to grow a little
        size_t sector = file.size() / 4096;
        file.resize(file.size() + sectors * 4096);
        put32(file, 4 * i, uint32_t(sector << 8 | sectors));
        put32(file, 4096 + 4 * i, 1600000000u + i);
        put32(file, sector * 4096, uint32_t(b.len + 1));
        file[sector * 4096 + 4] = 2;
        memcpy(&file[sector * 4096 + 5], b.data, b.len);
        free(b.data);
    }
    FILE *fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = fwrite(file.data(), 1, file.size(), fp) == file.size();
    return fclose(fp) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    bool ok = true;
    nbt_node *walk = bench::make_tree(bench::shape::small_nodes, 1 << 20);
    ok &= save(walk, dir + "/walk.nbt");
    nbt_free(walk);
    for (int n : {1000, 10000, 100000}) {
        nbt_node *c = bench::new_node(TAG_COMPOUND, "");
        nbt_node *root = bench::new_node(TAG_COMPOUND, "");
        nbt_node *l = bench::new_node(TAG_LIST, "l");
        for (int i = 0; i < n; i++) {
            char name[16];
            snprintf(name, sizeof name, "v%d", i);
            nbt_node *v = bench::new_node(TAG_INT, name);
            v->payload.tag_int = i;
            bench::add(c, v);
            nbt_node *item = bench::new_node(TAG_INT, nullptr);
            item->payload.tag_int = i;
            bench::add(l, item);
        }
        bench::add(root, l);
        ok &= save(c, dir + "/compound_" + std::to_string(n) + ".nbt");
        ok &= save(root, dir + "/list_" + std::to_string(n) + ".nbt");
        nbt_free(c);
        nbt_free(root);
    }
    nbt_node *big = bench::make_tree(bench::shape::chunk_like, size_t(100) << 20);
    ok &= save(big, dir + "/big.nbt");
    nbt_free(big);
    ok &= region(dir + "/region.mca");
    return ok ? 0 : 1;
}
