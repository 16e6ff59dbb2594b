// Test data for the mount tests, and a reader that shows what a file holds.
//   fixture nbt PATH              an NBT file (gzip) with a few values
//   fixture region PATH           a region file with the chunks 0 (zlib) and
//                                 37 (gzip)
//   fixture show PATH             the compression and values of an NBT file
//   fixture show-chunk PATH N     the same for chunk N of a region file, with
//                                 its compression byte and time stamp
// Values are shown one a line as path=value.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "region_builder.h"
#include "tree_builder.h"

namespace {

void show(const nbt_node *n, const std::string &path)
{
    std::string at = path.empty() ? "" : path + "=";
    switch (n->type) {
    case TAG_BYTE: std::printf("%s%d\n", at.c_str(), n->payload.tag_byte); break;
    case TAG_SHORT: std::printf("%s%d\n", at.c_str(), n->payload.tag_short); break;
    case TAG_INT: std::printf("%s%d\n", at.c_str(), n->payload.tag_int); break;
    case TAG_LONG: std::printf("%s%lld\n", at.c_str(), static_cast<long long>(n->payload.tag_long)); break;
    case TAG_FLOAT: std::printf("%s%g\n", at.c_str(), double(n->payload.tag_float)); break;
    case TAG_DOUBLE: std::printf("%s%g\n", at.c_str(), n->payload.tag_double); break;
    case TAG_STRING: std::printf("%s%s\n", at.c_str(), n->payload.tag_string); break;
    case TAG_BYTE_ARRAY:
    case TAG_INT_ARRAY:
    case TAG_LONG_ARRAY: {
        std::printf("%s[", at.c_str());
        int32_t len = n->type == TAG_BYTE_ARRAY  ? n->payload.tag_byte_array.length
                      : n->type == TAG_INT_ARRAY ? n->payload.tag_int_array.length
                                                 : n->payload.tag_long_array.length;
        for (int32_t i = 0; i < len; i++) {
            long long v = n->type == TAG_BYTE_ARRAY  ? n->payload.tag_byte_array.data[i]
                          : n->type == TAG_INT_ARRAY ? n->payload.tag_int_array.data[i]
                                                     : n->payload.tag_long_array.data[i];
            std::printf("%s%lld", i ? "," : "", v);
        }
        std::printf("]\n");
        break;
    }
    case TAG_LIST:
    case TAG_COMPOUND: {
        struct nbt_list *sentinel = n->payload.tag_list;
        int index = 0;
        for (struct list_head *pos = sentinel->entry.next; pos != &sentinel->entry; pos = pos->next) {
            const nbt_node *child = list_cell(pos)->data;
            std::string name = n->type == TAG_LIST ? std::to_string(index++) : child->name;
            show(child, path.empty() ? name : path + "/" + name);
        }
        break;
    }
    default: std::printf("%s<type %d>\n", at.c_str(), n->type); break;
    }
}

const char *compression_of(const std::vector<uint8_t> &data, size_t at)
{
    if (data.size() >= at + 2 && data[at] == 0x1f && data[at + 1] == 0x8b)
        return "gzip";
    if (data.size() >= at + 1 && data[at] == 0x78)
        return "zlib";
    return "other";
}

int show_file(const std::string &path)
{
    std::vector<uint8_t> data = rb::read_file(path);
    nbt_node *tree = nbt_parse_compressed(data.data(), data.size());
    if (!tree) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), nbt_error_to_string(nbt_status(errno)));
        return 1;
    }
    std::printf("compression=%s\n", compression_of(data, 0));
    show(tree, "");
    nbt_free(tree);
    return 0;
}

uint32_t be32(const std::vector<uint8_t> &d, size_t at)
{
    return uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 | d[at + 3];
}

int show_chunk(const std::string &path, unsigned n)
{
    std::vector<uint8_t> d = rb::read_file(path);
    if (d.size() < 8192 || n >= 1024)
        return 1;
    size_t start = size_t(be32(d, 4 * n) >> 8) * 4096;
    if (start == 0 || start + 5 > d.size())
        return 1;
    uint32_t length = be32(d, start);
    if (length < 1 || start + 4 + length > d.size())
        return 1;
    nbt_node *tree = nbt_parse_compressed(d.data() + start + 5, length - 1);
    if (!tree)
        return 1;
    std::printf("compression=%u\ntimestamp=%u\nstream=%s\n", d[start + 4], be32(d, 4096 + 4 * n),
                compression_of(d, start + 5));
    show(tree, "");
    nbt_free(tree);
    return 0;
}

void write_compressed(const std::string &path, const nbt_node *tree, nbt_compression c)
{
    rb::write_file(path, rb::compressed(tree, c));
}

} // namespace

int main(int argc, char **argv)
{
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "nbt" && argc == 3) {
        tb::tree_ptr tree(tb::compound("", {tb::i32("count", 41), tb::str("name", "level one"),
                                            tb::list("items", TAG_SHORT, {tb::i16(nullptr, 7), tb::i16(nullptr, 8)}),
                                            tb::ints("ids", {1, 2, 3}),
                                            tb::compound("inner", {tb::f64("speed", 1.5)})}));
        write_compressed(argv[2], tree.get(), COMPRESSION_GZIP);
        return 0;
    }
    if (what == "region" && argc == 3) {
        tb::tree_ptr c0(tb::compound("", {tb::i32("xPos", 0), tb::i32("zPos", 0), tb::str("biome", "plains")}));
        tb::tree_ptr c37(tb::compound("", {tb::i32("xPos", 5), tb::i32("zPos", 1), tb::str("biome", "forest")}));
        rb::chunk a{0, 2, 1, rb::compressed(c0.get(), COMPRESSION_ZLIB), 2, 1000000000, {}};
        rb::chunk b{37, 3, 1, rb::compressed(c37.get(), COMPRESSION_GZIP), 1, 1100000000, {}};
        rb::write_file(argv[2], rb::build({a, b}));
        return 0;
    }
    if (what == "show" && argc == 3)
        return show_file(argv[2]);
    if (what == "show-chunk" && argc == 4)
        return show_chunk(argv[2], unsigned(std::strtoul(argv[3], nullptr, 10)));
    std::fprintf(stderr, "usage: %s nbt|region|show PATH | show-chunk PATH N\n", argv[0]);
    return 255;
}
