// A minimal FUSE 2 file system serving names and contents from a flat table
// in memory: what the file-system benchmarks measure burlfs against, so that
// the cost they show beyond it is burlfs's own and not FUSE's.
//
//   flatfs <manifest> <mount-point> [fuse options]
//
// The manifest holds one entry per object: a line "d <path>" or
// "f <size> <path>" followed by size bytes of content and a newline. Writes
// replace a file's content in memory.
#define FUSE_USE_VERSION 26
#include <fuse.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct entry {
    bool dir;
    std::string content;
    std::vector<std::string> children; // names, in manifest order
};

std::unordered_map<std::string, entry> table;
std::mutex lock;

entry *find(const char *path)
{
    auto it = table.find(path);
    return it == table.end() ? nullptr : &it->second;
}

int flat_getattr(const char *path, struct stat *st)
{
    std::lock_guard<std::mutex> g(lock);
    entry *e = find(path);
    if (!e)
        return -ENOENT;
    memset(st, 0, sizeof *st);
    st->st_nlink = 1;
    st->st_mode = e->dir ? 040777 : 0100666;
    st->st_size = off_t(e->content.size());
    return 0;
}

int flat_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t, struct fuse_file_info *)
{
    std::lock_guard<std::mutex> g(lock);
    entry *e = find(path);
    if (!e || !e->dir)
        return -ENOTDIR;
    for (const auto &name : e->children)
        fill(buf, name.c_str(), nullptr, 0);
    return 0;
}

int flat_open(const char *path, struct fuse_file_info *fi)
{
    std::lock_guard<std::mutex> g(lock);
    entry *e = find(path);
    if (!e)
        return -ENOENT;
    if (fi->flags & O_TRUNC)
        e->content.clear();
    return 0;
}

int flat_read(const char *path, char *buf, size_t size, off_t off, struct fuse_file_info *)
{
    std::lock_guard<std::mutex> g(lock);
    entry *e = find(path);
    if (!e || e->dir)
        return -EISDIR;
    if (size_t(off) >= e->content.size())
        return 0;
    size_t n = std::min(size, e->content.size() - size_t(off));
    memcpy(buf, e->content.data() + off, n);
    return int(n);
}

int flat_write(const char *path, const char *buf, size_t size, off_t off, struct fuse_file_info *)
{
    std::lock_guard<std::mutex> g(lock);
    entry *e = find(path);
    if (!e || e->dir)
        return -EISDIR;
    if (e->content.size() < size_t(off) + size)
        e->content.resize(size_t(off) + size);
    memcpy(e->content.data() + off, buf, size);
    return int(size);
}

int flat_truncate(const char *path, off_t size)
{
    std::lock_guard<std::mutex> g(lock);
    entry *e = find(path);
    if (!e || e->dir)
        return -EISDIR;
    e->content.resize(size_t(size));
    return 0;
}

int flat_utimens(const char *path, const struct timespec *)
{
    std::lock_guard<std::mutex> g(lock);
    return find(path) ? 0 : -ENOENT;
}

bool load(const char *manifest)
{
    std::ifstream in(manifest, std::ios::binary);
    std::string kind;
    table["/"] = entry{true, {}, {}};
    while (in >> kind) {
        entry e{kind == "d", {}, {}};
        size_t size = 0;
        if (!e.dir)
            in >> size;
        in.get();
        std::string path;
        std::getline(in, path);
        if (!e.dir) {
            e.content.resize(size);
            in.read(e.content.data(), std::streamsize(size));
            in.get();
        }
        size_t slash = path.rfind('/');
        std::string parent = slash == 0 ? "/" : path.substr(0, slash);
        table[parent].children.push_back(path.substr(slash + 1));
        table[path].dir = e.dir;
        table[path].content = std::move(e.content);
    }
    return in.eof();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || !load(argv[1])) {
        fprintf(stderr, "usage: %s <manifest> <mount-point> [fuse options]\n", argv[0]);
        return 2;
    }
    static struct fuse_operations ops = {};
    ops.getattr = flat_getattr;
    ops.readdir = flat_readdir;
    ops.open = flat_open;
    ops.opendir = flat_open;
    ops.read = flat_read;
    ops.write = flat_write;
    ops.truncate = flat_truncate;
    ops.utimens = flat_utimens;
    std::vector<char *> args{argv[0]};
    for (int i = 2; i < argc; i++)
        args.push_back(argv[i]);
    return fuse_main(int(args.size()), args.data(), &ops, nullptr);
}
