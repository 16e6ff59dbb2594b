#include "in_process.h"

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>

#include "region_loading.h"
#include "saving.h"

namespace ip {

void reset_mount_state()
{
    release_mount();
    settings = mount_settings{};
    root_node = fs_node{};
    root_node.self = &root_node;
    root_node.kind = TREE_NODE;
    for (auto &c : region_chunks)
        c = region_chunk{};
    region_size = 0;
    save_elsewhere = 0;
    tree_modified = 0;
    save_failed = 0;
}

installed_tree::installed_tree(nbt_node *tree, const mount_settings &s)
{
    reset_mount_state();
    settings = s;
    root_node.node = tree;
}

installed_tree::~installed_tree() { reset_mount_state(); }

installed_region::installed_region(const std::string &path, mount_settings s)
{
    reset_mount_state();
    s.region_mode = 1;
    settings = s;
    char *text = nullptr;
    size_t size = 0;
    FILE *err = open_memstream(&text, &size);
    ok_ = load_region(path.c_str(), err) == 0;
    fclose(err);
    messages_.assign(text, size);
    free(text);
}

installed_region::~installed_region() { reset_mount_state(); }

const fuse_operations &ops() { return burlfs_operations(); }

handle::handle(const std::string &path, int flags, bool directory)
{
    fi.flags = flags;
    result = directory ? ops().opendir(path.c_str(), &fi) : ops().open(path.c_str(), &fi);
}

handle::~handle()
{
    if (result == 0)
        ops().release(nullptr, &fi);
}

read_result read(const std::string &path, off_t offset, size_t size)
{
    handle h(path);
    if (h.result)
        return {h.result, {}};
    std::string buf(size, '\0');
    int n = ops().read(path.c_str(), buf.data(), size, offset, &h.fi);
    buf.resize(n > 0 ? size_t(n) : 0);
    return {n, buf};
}

read_result read_whole(const std::string &path, size_t piece)
{
    handle h(path);
    if (h.result)
        return {h.result, {}};
    std::string all;
    std::string buf(piece, '\0');
    for (;;) {
        int n = ops().read(path.c_str(), buf.data(), piece, off_t(all.size()), &h.fi);
        if (n < 0)
            return {n, {}};
        if (n == 0)
            return {int(all.size()), all};
        all.append(buf, 0, size_t(n));
    }
}

int getattr(const std::string &path, struct stat &st) { return ops().getattr(path.c_str(), &st); }

namespace {

int collect(void *buf, const char *name, const struct stat *, off_t)
{
    static_cast<std::vector<std::string> *>(buf)->push_back(name);
    return 0;
}

} // namespace

listing list(const std::string &path)
{
    handle h(path, O_RDONLY, true);
    if (h.result)
        return {h.result, {}};
    listing l{0, {}};
    l.result = ops().readdir(path.c_str(), &l.names, collect, 0, &h.fi);
    return l;
}

} // namespace ip
