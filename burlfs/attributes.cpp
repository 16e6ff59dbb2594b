// Attributes, listings, chunk links, and opening and closing handles.
#include <cassert>
#include <cerrno>
#include <cstring>
#include <string>

#include "child_index.h"
#include "lookup.h"
#include "open_handles.h"
#include "operations.h"
#include "tree_cells.h"
#include "type_names.h"
#include "value_text.h"

namespace {

off_t tree_node_size(const nbt_node *n)
{
    number_text t;
    const auto &p = n->payload;
    switch (n->type) {
    case TAG_BYTE_ARRAY: return p.tag_byte_array.length;
    case TAG_STRING: return p.tag_string ? off_t(strlen(p.tag_string) + 1) : 0;
    case TAG_LIST:
    case TAG_COMPOUND: return off_t(count_subtree(n));
    case TAG_INT_ARRAY: return off_t(4) * p.tag_int_array.length;
    case TAG_LONG_ARRAY: return off_t(8) * p.tag_long_array.length;
    default: return format_scalar(n, t) ? off_t(t.length) : 0;
    }
}

void fill_compound(const nbt_node *n, void *buf, fuse_fill_dir_t filler)
{
    const list_head *head = &n->payload.tag_compound->entry;
    std::string entry;
    for (const list_head *e = head->next; e != head; e = e->next) {
        const nbt_node *child = list_cell(const_cast<list_head *>(e))->data;
        if (!child->name)
            continue;
        if (!settings.use_type_prefix && !strchr(child->name, ':')) {
            filler(buf, child->name, nullptr, 0);
            continue;
        }
        std::string_view type = type_name(child->type);
        if (type.empty())
            continue;
        entry.assign(type).append(":").append(child->name);
        filler(buf, entry.c_str(), nullptr, 0);
    }
}

void fill_numbers(void *buf, fuse_fill_dir_t filler, long from, long to, long step)
{
    char name[24];
    for (long i = from; i != to; i += step) {
        snprintf(name, sizeof name, "%ld", i);
        filler(buf, name, nullptr, 0);
    }
}

void fill_region_root(void *buf, fuse_fill_dir_t filler)
{
    char name[24];
    for (unsigned n = 0; n < region_chunk_count; n++) {
        if (!region_chunks[n].data)
            continue;
        snprintf(name, sizeof name, "%u", n);
        filler(buf, name, nullptr, 0);
        if (settings.chunk_links_visible) {
            snprintf(name, sizeof name, "%u,%u", n % 32, n / 32);
            filler(buf, name, nullptr, 0);
        }
    }
}

} // namespace

int nbt_getattr(const char *path, struct stat *st)
{
    record_ptr record;
    if (int result = lookup_path(path, record))
        return result;
    fuse_file_info fi{};
    fi.fh = uint64_t(uintptr_t(record.get()));
    return nbt_fgetattr(path, st, &fi);
}

int nbt_fgetattr(const char *, struct stat *st, fuse_file_info *fi)
{
    const fs_node *r = file_info_to_nbt_node(fi);
    if (int result = check_usable(r))
        return result;
    *st = {};
    st->st_nlink = 1;
    st->st_uid = settings.mount_uid;
    st->st_gid = settings.mount_gid;
    mode_t mask = settings.fs_umask;
    if (settings.region_mode && r->kind == REGION_ROOT_NODE) {
        st->st_ino = 1;
        st->st_mode = 040777 & ~mask;
        return 0;
    }
    assert(r->node);
    st->st_ino = ino_t(uintptr_t(r->node));
    number_text t;
    switch (r->kind) {
    case TREE_NODE:
        st->st_mode = is_directory_type(r->node->type) ? 040777 : 0100666;
        st->st_size = tree_node_size(r->node);
        break;
    case CHUNK_LINK_NODE:
        st->st_mode = 0120666;
        st->st_size = r->node->payload.tag_byte_array.length;
        break;
    case LIST_TYPE_NODE:
        st->st_mode = 0100666;
        st->st_size = off_t(element_type_text(r).size() + 1);
        break;
    case ARRAY_ELEMENT_NODE:
        st->st_mode = 0100666;
        st->st_size = format_element(r->node, r->index, t) ? off_t(t.length) : 0;
        break;
    }
    st->st_mode &= ~mask;
    if (settings.region_mode && r->is_chunk_root)
        st->st_mtime = time_t(r->chunk->timestamp);
    return 0;
}

int nbt_readdir(const char *path, void *buf, fuse_fill_dir_t filler, off_t, fuse_file_info *fi)
{
    const fs_node *r = file_info_to_nbt_node(fi);
    if (int result = check_usable(r))
        return result;
    if (r->kind == REGION_ROOT_NODE) {
        if (!settings.region_mode)
            return region_root_misuse(path);
        fill_region_root(buf, filler);
        return 0;
    }
    if (r->kind != TREE_NODE)
        return -ENOTDIR;
    const nbt_node *n = r->node;
    switch (n->type) {
    case TAG_COMPOUND:
        fill_compound(n, buf, filler);
        return 0;
    case TAG_LIST:
        filler(buf, ".type", nullptr, 0);
        fill_numbers(buf, filler, 0, long(child_count(n)), 1);
        return 0;
    case TAG_INT_ARRAY:
        fill_numbers(buf, filler, long(n->payload.tag_int_array.length) - 1, -1, -1);
        return 0;
    case TAG_LONG_ARRAY:
        fill_numbers(buf, filler, long(n->payload.tag_long_array.length) - 1, -1, -1);
        return 0;
    default:
        return -ENOTDIR;
    }
}

int nbt_utimens(const char *path, const struct timespec *)
{
    record_ptr r;
    return lookup_path(path, r);
}

int nbt_readlink(const char *path, char *buf, size_t size)
{
    if (size == 0)
        return -EINVAL;
    record_ptr r;
    if (int result = lookup_path(path, r))
        return result;
    if (r->kind != CHUNK_LINK_NODE)
        return -EINVAL;
    const auto &text = r->node->payload.tag_byte_array;
    size_t n = std::min(size - 1, size_t(text.length));
    memcpy(buf, text.data, n);
    buf[n] = '\0';
    return 0;
}

int nbt_open(const char *path, fuse_file_info *fi)
{
    int access = fi->flags & O_ACCMODE;
    bool truncate = fi->flags & O_TRUNC;
    if (access == O_WRONLY || access == O_RDWR) {
        if (settings.read_only)
            return -EROFS;
    } else if (truncate) {
        return -EINVAL;
    }
    record_ptr r;
    if (int result = lookup_path(path, r))
        return result;
    hold_in_handle(fi, r.release());
    if (truncate) {
        if (int result = truncate_record(path, file_info_to_nbt_node(fi), 0)) {
            release_handle(fi);
            return result;
        }
    }
    return 0;
}

int nbt_release(const char *, fuse_file_info *fi)
{
    release_handle(fi);
    return 0;
}
