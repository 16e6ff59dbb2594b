#include "bench_data.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>

namespace bench {

namespace {

template <class Array> void fill(Array &a, size_t n, std::mt19937 &rng)
{
    using element = std::remove_pointer_t<decltype(a.data)>;
    a.length = int32_t(n);
    a.data = static_cast<element *>(malloc(n * sizeof(element) + 1));
    for (size_t i = 0; i < n; i++)
        a.data[i] = element(rng() % 64); // low entropy, like block data
}

nbt_node *scalar_int(const char *name, int32_t v)
{
    nbt_node *n = new_node(TAG_INT, name);
    n->payload.tag_int = v;
    return n;
}

nbt_node *string_node(const char *name, const std::string &v)
{
    nbt_node *n = new_node(TAG_STRING, name);
    n->payload.tag_string = strdup(v.c_str());
    return n;
}

std::string word(std::mt19937 &rng, size_t min_len, size_t max_len)
{
    std::uniform_int_distribution<size_t> len(min_len, max_len);
    std::string s(len(rng), 'a');
    for (auto &c : s)
        c = char('a' + rng() % 26);
    return s;
}

// One section of a chunk: arrays, a palette of small compounds, doubles.
nbt_node *section(std::mt19937 &rng, size_t &approx)
{
    nbt_node *s = new_node(TAG_COMPOUND, nullptr);
    add(s, scalar_int("Y", int32_t(rng() % 16)));
    nbt_node *states = new_node(TAG_LONG_ARRAY, "BlockStates");
    size_t count = 256 + rng() % 3841;
    fill(states->payload.tag_long_array, count, rng);
    approx += 8 * count + 2 * 2048 + 400;
    add(s, states);
    for (const char *name : {"BlockLight", "SkyLight"}) {
        nbt_node *light = new_node(TAG_BYTE_ARRAY, name);
        fill(light->payload.tag_byte_array, 2048, rng);
        add(s, light);
    }
    nbt_node *palette = new_node(TAG_LIST, "Palette");
    for (int i = 0, n = 4 + int(rng() % 12); i < n; i++) {
        nbt_node *entry = new_node(TAG_COMPOUND, nullptr);
        add(entry, string_node("Name", "block:" + word(rng, 4, 12)));
        add(entry, scalar_int("Variant", int32_t(rng() % 8)));
        add(palette, entry);
    }
    add(s, palette);
    nbt_node *pos = new_node(TAG_LIST, "Pos");
    for (int i = 0; i < 3; i++) {
        nbt_node *d = new_node(TAG_DOUBLE, nullptr);
        d->payload.tag_double = double(rng()) / 1000.0;
        add(pos, d);
    }
    add(s, pos);
    return s;
}

// Fills a compound with ints, shorts, short strings and nested compounds
// worth about budget bytes; returns the bytes added.
size_t small_nodes(nbt_node *parent, std::mt19937 &rng, int depth, size_t budget)
{
    size_t used = 0;
    // Names are distinct within a compound, so that the tree can also be
    // copied into an ordinary file system.
    for (unsigned count = 0; used < budget; count++) {
        unsigned pick = rng() % 16;
        char name[16];
        int len = snprintf(name, sizeof name, "n%u", count);
        used += 3 + size_t(len);
        nbt_node *n;
        if (pick < 6) {
            n = scalar_int(name, int32_t(rng()));
            used += 4;
        } else if (pick < 10) {
            n = new_node(TAG_SHORT, name);
            n->payload.tag_short = int16_t(rng());
            used += 2;
        } else if (pick < 15 || depth >= 10) {
            std::string w = word(rng, 2, 8);
            n = string_node(name, w);
            used += 2 + w.size();
        } else {
            n = new_node(TAG_COMPOUND, name);
            size_t share = std::min<size_t>(budget - std::min(budget, used), 512 + rng() % 8192);
            used += small_nodes(n, rng, depth + 1, share) + 1;
        }
        add(parent, n);
    }
    return used;
}

} // namespace

nbt_node *new_node(nbt_type type, const char *name)
{
    auto *n = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
    n->type = type;
    n->name = name ? strdup(name) : nullptr;
    if (type == TAG_LIST || type == TAG_COMPOUND) {
        auto *s = static_cast<struct nbt_list *>(calloc(1, sizeof(struct nbt_list)));
        list_init(&s->entry);
        if (type == TAG_LIST)
            s->data = static_cast<nbt_node *>(calloc(1, sizeof(nbt_node)));
        n->payload.tag_list = s;
    }
    return n;
}

void add(nbt_node *parent, nbt_node *child)
{
    auto *cell = static_cast<struct nbt_list *>(malloc(sizeof(struct nbt_list)));
    cell->data = child;
    list_append(&cell->entry, &parent->payload.tag_list->entry);
    if (parent->type == TAG_LIST)
        parent->payload.tag_list->data->type = child->type;
}

const char *shape_name(shape s)
{
    switch (s) {
    case shape::chunk_like: return "chunk_like";
    case shape::small_nodes: return "small_nodes";
    case shape::array_heavy: return "array_heavy";
    }
    return "?";
}

nbt_node *make_tree(shape s, size_t target, uint32_t seed)
{
    std::mt19937 rng(seed);
    nbt_node *root = new_node(TAG_COMPOUND, "");
    switch (s) {
    case shape::chunk_like: {
        nbt_node *sections = new_node(TAG_LIST, "Sections");
        add(root, scalar_int("DataVersion", 3000));
        size_t approx = 0;
        while (approx < target) {
            add(sections, section(rng, approx));
        }
        add(root, sections);
        break;
    }
    case shape::small_nodes:
        small_nodes(root, rng, 0, target);
        break;
    case shape::array_heavy: {
        size_t approx = 0;
        for (int i = 0; approx < target; i++) {
            char name[16];
            snprintf(name, sizeof name, "a%d", i);
            nbt_type t = i % 3 == 0 ? TAG_INT_ARRAY : i % 3 == 1 ? TAG_LONG_ARRAY : TAG_BYTE_ARRAY;
            nbt_node *a = new_node(t, name);
            size_t n = 16384 + rng() % 65536;
            if (t == TAG_INT_ARRAY)
                fill(a->payload.tag_int_array, n, rng), approx += 4 * n;
            else if (t == TAG_LONG_ARRAY)
                fill(a->payload.tag_long_array, n, rng), approx += 8 * n;
            else
                fill(a->payload.tag_byte_array, n, rng), approx += n;
            add(root, a);
        }
        break;
    }
    }
    return root;
}

const data_set &get(shape s, size_t target)
{
    static std::map<std::pair<int, size_t>, data_set> cache;
    auto key = std::make_pair(int(s), target);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    data_set d{};
    nbt_node *tree = make_tree(s, target);
    struct buffer b = nbt_dump_binary(tree);
    if (!b.data)
        throw std::runtime_error("benchmark tree cannot be written");
    d.binary.assign(b.data, b.data + b.len);
    free(b.data);
    struct buffer g = nbt_dump_compressed(tree, COMPRESSION_GZIP);
    d.gzip.assign(g.data, g.data + g.len);
    free(g.data);
    d.nodes = nbt_size(tree);
    nbt_free(tree);
    return cache.emplace(key, std::move(d)).first->second;
}

const nbt_node *data_set::tree() const
{
    static const data_set *owner;
    static nbt_node *current;
    if (owner != this) {
        nbt_free(current);
        current = nbt_parse(binary.data(), binary.size());
        owner = this;
    }
    return current;
}

std::vector<size_t> block_sizes(const nbt_node *tree)
{
    std::vector<size_t> sizes;
    std::vector<const nbt_node *> todo{tree};
    while (!todo.empty()) {
        const nbt_node *n = todo.back();
        todo.pop_back();
        sizes.push_back(sizeof(nbt_node));
        if (n->name)
            sizes.push_back(strlen(n->name) + 1);
        switch (n->type) {
        case TAG_STRING: sizes.push_back(strlen(n->payload.tag_string) + 1); break;
        // Empty arrays have no storage.
        case TAG_BYTE_ARRAY:
            if (n->payload.tag_byte_array.length)
                sizes.push_back(size_t(n->payload.tag_byte_array.length));
            break;
        case TAG_INT_ARRAY:
            if (n->payload.tag_int_array.length)
                sizes.push_back(4 * size_t(n->payload.tag_int_array.length));
            break;
        case TAG_LONG_ARRAY:
            if (n->payload.tag_long_array.length)
                sizes.push_back(8 * size_t(n->payload.tag_long_array.length));
            break;
        case TAG_LIST:
        case TAG_COMPOUND: {
            sizes.push_back(sizeof(struct nbt_list));
            if (n->type == TAG_LIST)
                sizes.push_back(sizeof(nbt_node));
            const struct list_head *head = &n->payload.tag_list->entry;
            for (const struct list_head *p = head->next; p != head; p = p->next) {
                sizes.push_back(sizeof(struct nbt_list));
                todo.push_back(list_cell(const_cast<struct list_head *>(p))->data);
            }
            break;
        }
        default: break;
        }
    }
    return sizes;
}

} // namespace bench
