// A seeded random sequence of operations applied through a real mount with
// system calls and, in parallel, to a model tree held by the test; after
// unmount the saved file equals the model.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "mount_test_support.h"
#include "tree_builder.h"
#include "tree_text.h"

namespace {

struct place {
    std::string path;  // below the mount root, "" for the root
    nbt_node *node;
    nbt_node *parent;  // null for the root
    list_head *entry;  // the cell in parent
};

void collect(nbt_node *n, const std::string &path, nbt_node *parent, list_head *entry, std::vector<place> &out)
{
    out.push_back({path, n, parent, entry});
    if (n->type != TAG_LIST && n->type != TAG_COMPOUND)
        return;
    list_head *head = &n->payload.tag_list->entry;
    size_t i = 0;
    for (list_head *e = head->next; e != head; e = e->next, i++) {
        nbt_node *child = list_cell(e)->data;
        collect(child, path + "/" + (n->type == TAG_LIST ? std::to_string(i) : std::string(child->name)), n, e, out);
    }
}

list_head *entry_at(nbt_node *list, size_t position)
{
    list_head *e = list->payload.tag_list->entry.next;
    while (position--)
        e = e->next;
    return e;
}

size_t depth_of(const std::string &path) { return size_t(std::count(path.begin(), path.end(), '/')); }

bool is_container(const nbt_node *n) { return n->type == TAG_LIST || n->type == TAG_COMPOUND; }
nbt_type element_type(const nbt_node *list) { return list->payload.tag_list->data->type; }
size_t items(const nbt_node *n)
{
    size_t c = 0;
    for (list_head *e = n->payload.tag_list->entry.next; e != &n->payload.tag_list->entry; e = e->next)
        c++;
    return c;
}

const char *type_names[] = {"", "int8", "int16", "int32", "int64", "float32", "float64", "int8array",
                            "string", "list", "compound", "int32array", "int64array"};

class Differential {
public:
    Differential(const std::string &root, unsigned seed) : root_(root), rng_(seed), model_(tb::compound("", {})) {}

    nbt_node *model() { return model_.get(); }

    // Runs one random operation on both sides; false (with a failure) when
    // the mount did not do what the model did.
    bool step(int number)
    {
        places_.clear();
        collect(model_.get(), "", nullptr, nullptr, places_);
        step_ = number;
        switch (pick(10)) {
        case 0: case 1: return create();
        case 2: case 3: return write_value();
        case 4: return truncate_value();
        case 5: return array_change();
        case 6: case 7: return rename();
        case 8: return remove();
        default: return read_back();
        }
    }

private:
    std::string root_;
    std::mt19937 rng_;
    tb::tree_ptr model_;
    std::vector<place> places_;
    int names_ = 0, step_ = 0;

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
    std::string at(const std::string &path) const { return root_ + path; }

    template <class Pred> const place *choose(Pred pred)
    {
        std::vector<const place *> fit;
        for (const auto &p : places_)
            if (pred(p))
                fit.push_back(&p);
        return fit.empty() ? nullptr : fit[pick(fit.size())];
    }

    bool fail(const std::string &what)
    {
        ADD_FAILURE() << "step " << step_ << ": " << what << ": " << strerror(errno) << "\nmodel: " << tree_text(model_.get());
        return false;
    }

    // A fresh node of type as creation makes it.
    static nbt_node *fresh(nbt_type type, const char *name)
    {
        nbt_node *n = tb::node(type, name);
        if (type == TAG_LIST)
            n->payload.tag_list->data->type = TAG_END;
        return n;
    }

    bool make(const std::string &path, nbt_type type)
    {
        if (is_directory_type(type))
            return mkdir(at(path).c_str(), 0755) == 0 || fail("mkdir " + path);
        int fd = open(at(path).c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            return fail("create " + path);
        close(fd);
        return true;
    }

    static bool is_directory_type(nbt_type t)
    {
        return t == TAG_LIST || t == TAG_COMPOUND || t == TAG_INT_ARRAY || t == TAG_LONG_ARRAY;
    }

    // A new list gets its element type at once, so that the tree can be saved.
    bool type_new_list(const std::string &path, nbt_node *list)
    {
        nbt_type t = nbt_type(1 + pick(12));
        list->payload.tag_list->data->type = t;
        return write_text(path + "/.type", std::string(type_names[t]) + "\n");
    }

    bool write_text(const std::string &path, const std::string &text, bool truncate = true)
    {
        int fd = open(at(path).c_str(), O_WRONLY | (truncate ? O_TRUNC : 0));
        if (fd < 0)
            return fail("open " + path);
        ssize_t n = write(fd, text.data(), text.size());
        close(fd);
        return n == ssize_t(text.size()) || fail("write " + path + " '" + text + "'");
    }

    bool create()
    {
        const place *dir = choose([](const place &p) {
            return is_container(p.node) && depth_of(p.path) < 5 &&
                   (p.node->type == TAG_COMPOUND || (element_type(p.node) >= 1 && element_type(p.node) <= 12));
        });
        if (!dir)
            return true;
        nbt_node *parent = dir->node;
        nbt_type type = parent->type == TAG_LIST ? element_type(parent) : nbt_type(1 + pick(12));
        std::string name = "k" + std::to_string(names_++);
        std::string path = parent->type == TAG_LIST ? dir->path + "/" + std::to_string(items(parent))
                                                    : dir->path + "/" + type_names[type] + ":" + name;
        nbt_node *n = fresh(type, parent->type == TAG_LIST ? nullptr : name.c_str());
        tb::append(parent, n);
        if (!make(path, type))
            return false;
        std::string plain = parent->type == TAG_LIST ? path : dir->path + "/" + name;
        return type != TAG_LIST || type_new_list(plain, n);
    }

    bool write_value()
    {
        const place *p = choose([](const place &p) {
            return p.parent && (p.node->type <= TAG_DOUBLE || p.node->type == TAG_STRING || p.node->type == TAG_BYTE_ARRAY);
        });
        if (!p)
            return true;
        nbt_node *n = p->node;
        auto &v = n->payload;
        int64_t number = int64_t(rng_()) - int64_t(1u << 31);
        switch (n->type) {
        case TAG_BYTE: v.tag_byte = int8_t(number); break;
        case TAG_SHORT: v.tag_short = int16_t(number); break;
        case TAG_INT: v.tag_int = int32_t(number); break;
        case TAG_LONG: number *= 1000003; v.tag_long = number; break;
        case TAG_FLOAT: number %= 100000; v.tag_float = float(number); break;
        case TAG_DOUBLE: v.tag_double = double(number); break;
        case TAG_STRING: {
            std::string s(pick(20), 'a');
            for (auto &c : s)
                c = char('a' + pick(26));
            free(v.tag_string);
            v.tag_string = strdup(s.c_str());
            return write_text(p->path, s + "\n");
        }
        default: {
            auto &a = v.tag_byte_array;
            size_t offset = pick(size_t(a.length) + 4), size = 1 + pick(8);
            std::string bytes(size, '\0');
            for (auto &c : bytes)
                c = char(rng_());
            if (size_t(a.length) < offset + size) {
                a.data = static_cast<unsigned char *>(realloc(a.data, offset + size));
                memset(a.data + a.length, 0, offset + size - size_t(a.length));
                a.length = int32_t(offset + size);
            }
            memcpy(a.data + offset, bytes.data(), size);
            int fd = open(at(p->path).c_str(), O_WRONLY);
            ssize_t n = fd < 0 ? -1 : pwrite(fd, bytes.data(), size, off_t(offset));
            if (fd >= 0)
                close(fd);
            return n == ssize_t(size) || fail("pwrite " + p->path);
        }
        }
        return write_text(p->path, std::to_string(number) + "\n");
    }

    bool truncate_value()
    {
        const place *p = choose([](const place &p) {
            return p.parent && (p.node->type <= TAG_DOUBLE || p.node->type == TAG_STRING || p.node->type == TAG_BYTE_ARRAY);
        });
        if (!p)
            return true;
        nbt_node *n = p->node;
        size_t size = 0;
        if (n->type == TAG_STRING) {
            size = pick(8);
            if (size < strlen(n->payload.tag_string))
                n->payload.tag_string[size] = '\0';
        } else if (n->type == TAG_BYTE_ARRAY) {
            auto &a = n->payload.tag_byte_array;
            size = pick(12);
            a.data = static_cast<unsigned char *>(realloc(a.data, size + 1));
            if (size > size_t(a.length))
                memset(a.data + a.length, 0, size - size_t(a.length));
            a.length = int32_t(size);
        } else {
            memset(&n->payload, 0, sizeof n->payload);
        }
        return ::truncate(at(p->path).c_str(), off_t(size)) == 0 || fail("truncate " + p->path);
    }

    bool array_change()
    {
        const place *p = choose([](const place &p) { return p.node->type == TAG_INT_ARRAY || p.node->type == TAG_LONG_ARRAY; });
        if (!p)
            return true;
        nbt_node *n = p->node;
        bool ints = n->type == TAG_INT_ARRAY;
        int32_t &length = ints ? n->payload.tag_int_array.length : n->payload.tag_long_array.length;
        size_t width = ints ? 4 : 8;
        void *&data = ints ? reinterpret_cast<void *&>(n->payload.tag_int_array.data)
                           : reinterpret_cast<void *&>(n->payload.tag_long_array.data);
        switch (length == 0 ? 0 : pick(3)) {
        case 0: { // grow by creating an element past the end
            int32_t index = length + int32_t(pick(3));
            data = realloc(data, size_t(index + 1) * width);
            memset(static_cast<char *>(data) + size_t(length) * width, 0, size_t(index + 1 - length) * width);
            length = index + 1;
            int fd = open(at(p->path + "/" + std::to_string(index)).c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0)
                return fail("create element of " + p->path);
            close(fd);
            return true;
        }
        case 1: { // the last element goes
            length--;
            return unlink(at(p->path + "/" + std::to_string(length)).c_str()) == 0 || fail("unlink element of " + p->path);
        }
        default: { // an element is written
            int32_t index = int32_t(pick(size_t(length)));
            int64_t value = int64_t(rng_()) - int64_t(rng_());
            if (ints)
                n->payload.tag_int_array.data[index] = int32_t(value);
            else
                n->payload.tag_long_array.data[index] = value;
            return write_text(p->path + "/" + std::to_string(index),
                              std::to_string(ints ? int64_t(int32_t(value)) : value) + "\n");
        }
        }
    }

    static bool inside(const nbt_node *root, const nbt_node *n)
    {
        return nbt_find(const_cast<nbt_node *>(root), [](const nbt_node *x, void *aux) { return x == aux; },
                        const_cast<nbt_node *>(n)) != nullptr;
    }

    bool rename()
    {
        const place *src = choose([](const place &p) { return p.parent != nullptr; });
        if (!src)
            return true;
        nbt_node *node = src->node;
        const place *dst = choose([&](const place &p) {
            return is_container(p.node) && !inside(node, p.node) && depth_of(p.path) < 5 &&
                   (p.node->type == TAG_COMPOUND || element_type(p.node) == node->type);
        });
        if (!dst)
            return true;
        nbt_node *dir = dst->node;
        std::string to;
        list_head *victim = nullptr;
        if (dir->type == TAG_LIST) {
            size_t count = items(dir), position = pick(count + 1);
            if (position < count) {
                victim = entry_at(dir, position);
                nbt_node *v = list_cell(victim)->data;
                if (v == node || (is_container(v) && items(v)))
                    position = count, victim = nullptr;
            }
            to = dst->path + "/" + std::to_string(position);
        } else {
            std::string name = "k" + std::to_string(names_++);
            to = dst->path + "/" + name;
            free(node->name);
            node->name = strdup(name.c_str());
        }
        // The model: the node leaves its cell, unless both parents are the
        // root record, then it keeps its place.
        if (src->parent == model_.get() && dir == model_.get()) {
            // stays
        } else if (victim) {
            nbt_node *v = list_cell(victim)->data;
            list_cell(victim)->data = node;
            nbt_free(v);
            list_unlink(src->entry);
            free(list_cell(src->entry));
        } else {
            list_unlink(src->entry);
            free(list_cell(src->entry));
            tb::append(dir, node);
        }
        if (dir->type == TAG_LIST) {
            free(node->name);
            node->name = nullptr;
        }
        return ::rename(at(src->path).c_str(), at(to).c_str()) == 0 || fail("rename " + src->path + " " + to);
    }

    bool remove()
    {
        const place *p = choose([](const place &p) { return p.parent && (!is_container(p.node) || !items(p.node)); });
        if (!p || p->node->type == TAG_INT_ARRAY || p->node->type == TAG_LONG_ARRAY)
            return true; // arrays are directories that rmdir refuses
        bool dir = is_container(p->node);
        list_unlink(p->entry);
        free(list_cell(p->entry));
        nbt_free(p->node);
        int r = dir ? rmdir(at(p->path).c_str()) : unlink(at(p->path).c_str());
        return r == 0 || fail("remove " + p->path);
    }

    bool read_back()
    {
        const place *p = choose([](const place &p) {
            return p.parent && (p.node->type == TAG_STRING || p.node->type == TAG_INT || p.node->type == TAG_BYTE_ARRAY);
        });
        if (!p)
            return true;
        std::string expected;
        if (p->node->type == TAG_STRING)
            expected = std::string(p->node->payload.tag_string) + "\n";
        else if (p->node->type == TAG_INT)
            expected = std::to_string(p->node->payload.tag_int) + "\n";
        else
            expected.assign(reinterpret_cast<char *>(p->node->payload.tag_byte_array.data),
                            size_t(p->node->payload.tag_byte_array.length));
        auto bytes = rb::read_file(at(p->path));
        std::string got(bytes.begin(), bytes.end());
        if (got != expected)
            return fail("read " + p->path + ": '" + got + "' instead of '" + expected + "'");
        return true;
    }
};

TEST(Differential, RandomOperationsMatchTheModel)
{
    BURL_REQUIRE_MOUNTS();
    for (unsigned seed : {11u, 12u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        tb::tree_ptr start(tb::compound("", {}));
        mt::mounted fs;
        // Items of a list are named by position, so cached names would go
        // stale as soon as an item moves.
        ASSERT_TRUE(fs.start(mt::nbt_file(start.get()), {"-o", "attr_timeout=0,entry_timeout=0"}));
        Differential d(fs.root(), seed);
        int done = 0;
        for (; done < 300; done++)
            if (!d.step(done))
                break;
        EXPECT_EQ(done, 300);
        fs.finish();
        tb::tree_ptr saved(mt::parse_saved(rb::read_file(fs.file())));
        ASSERT_TRUE(saved);
        EXPECT_TRUE(nbt_eq(saved.get(), d.model())) << "saved\n" << tree_text(saved.get()) << "\nmodel\n"
                                                    << tree_text(d.model());
        EXPECT_GT(nbt_size(saved.get()), 20u);
    }
}

} // namespace
