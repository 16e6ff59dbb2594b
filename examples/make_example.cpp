// Writes the example NBT file that the demo mounts: a root compound with a
// value of every type, a list, a nested compound and arrays. The file in this
// directory was made by this program; run it again only to change it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "zoviru.h"

namespace {

nbt_node *node(nbt_type type, const char *name)
{
    auto *n = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
    n->type = type;
    n->name = name ? strdup(name) : nullptr;
    if (type == TAG_LIST || type == TAG_COMPOUND) {
        auto *sentinel = static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list)));
        list_init(&sentinel->entry);
        n->payload.tag_list = sentinel;
    }
    return n;
}

nbt_node *add(nbt_node *parent, nbt_node *child)
{
    auto *cell = static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list)));
    cell->data = child;
    list_append(&cell->entry, &parent->payload.tag_list->entry);
    return child;
}

nbt_node *text(const char *name, const char *value)
{
    nbt_node *n = node(TAG_STRING, name);
    n->payload.tag_string = strdup(value);
    return n;
}

template <class Field, class T> void fill(Field &field, std::initializer_list<T> values)
{
    field.length = int32_t(values.size());
    field.data = static_cast<decltype(field.data)>(malloc(values.size() * sizeof(T)));
    memcpy(field.data, values.begin(), values.size() * sizeof(T));
}

nbt_node *make_tree()
{
    nbt_node *root = node(TAG_COMPOUND, "example");
    add(root, node(TAG_BYTE, "level"))->payload.tag_byte = 3;
    add(root, node(TAG_SHORT, "year"))->payload.tag_short = 2024;
    add(root, node(TAG_INT, "score"))->payload.tag_int = 42;
    add(root, node(TAG_LONG, "seed"))->payload.tag_long = -7310494875331420349LL;
    add(root, node(TAG_FLOAT, "speed"))->payload.tag_float = 1.5f;
    add(root, node(TAG_DOUBLE, "ratio"))->payload.tag_double = 0.25;
    add(root, text("title", "A small example"));
    fill(add(root, node(TAG_BYTE_ARRAY, "bytes"))->payload.tag_byte_array, {uint8_t('h'), uint8_t('i'), uint8_t('\n')});
    fill(add(root, node(TAG_INT_ARRAY, "ints"))->payload.tag_int_array, {10, 20, 30});
    fill(add(root, node(TAG_LONG_ARRAY, "longs"))->payload.tag_long_array, {int64_t(1) << 40, int64_t(-1)});
    nbt_node *names = add(root, node(TAG_LIST, "names"));
    auto *element = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
    element->type = TAG_STRING;
    names->payload.tag_list->data = element;
    for (const char *s : {"alpha", "beta", "gamma"})
        add(names, text(nullptr, s));
    nbt_node *player = add(root, node(TAG_COMPOUND, "player"));
    add(player, text("name", "Ada"));
    add(player, node(TAG_INT, "health"))->payload.tag_int = 20;
    nbt_node *position = add(player, node(TAG_LIST, "position"));
    element = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
    element->type = TAG_DOUBLE;
    position->payload.tag_list->data = element;
    for (double d : {12.5, 64.0, -3.25})
        add(position, node(TAG_DOUBLE, nullptr))->payload.tag_double = d;
    return root;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "Usage: %s <output-file>\n", argv[0]);
        return 255;
    }
    nbt_node *tree = make_tree();
    FILE *out = fopen(argv[1], "wb");
    if (!out) {
        perror(argv[1]);
        nbt_free(tree);
        return 1;
    }
    nbt_status status = nbt_dump_file(tree, out, COMPRESSION_GZIP);
    nbt_free(tree);
    if (fclose(out) != 0 && status == STATUS_OK)
        status = STATUS_IO;
    if (status != STATUS_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], nbt_error_to_string(status));
        return 1;
    }
    return 0;
}
