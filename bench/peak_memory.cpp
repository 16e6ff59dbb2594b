// Peak memory of loading a file with nbt_parse_path, against what loading must
// hold at once: the compressed bytes, the uncompressed bytes and the tree.
//   peak_memory write <shape 0..2> <megabytes> <path>
//   peak_memory measure <path>      (prints one JSON object)
#include <malloc.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench_data.h"

namespace {

// Peak resident set size of this process so far, in bytes.
long peak_rss()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6)) * 1024;
    return -1;
}

size_t heap_in_use()
{
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && strcmp(argv[1], "write") == 0) {
        nbt_node *tree = bench::make_tree(bench::shape(atoi(argv[2])), size_t(atol(argv[3])) << 20);
        FILE *fp = fopen(argv[4], "wb");
        int status = fp ? nbt_dump_file(tree, fp, COMPRESSION_GZIP) : -1;
        if (fp)
            fclose(fp);
        nbt_free(tree);
        return status == 0 ? 0 : 1;
    }
    if (argc == 3 && strcmp(argv[1], "measure") == 0) {
        struct stat st;
        if (stat(argv[2], &st) != 0)
            return 1;
        long before = peak_rss();
        size_t heap_before = heap_in_use();
        nbt_node *tree = nbt_parse_path(argv[2]);
        long peak = peak_rss() - before;
        size_t tree_bytes = heap_in_use() - heap_before;
        if (!tree)
            return 1;
        struct buffer b = nbt_dump_binary(tree);
        printf("{\"compressed\": %lld, \"uncompressed\": %zu, \"tree\": %zu, \"peak\": %ld}\n",
               (long long)st.st_size, b.len, tree_bytes, peak);
        free(b.data);
        nbt_free(tree);
        return 0;
    }
    fprintf(stderr, "usage: %s write <shape> <MB> <path> | measure <path>\n", argv[0]);
    return 2;
}
