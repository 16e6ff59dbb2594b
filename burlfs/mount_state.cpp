#include "mount_state.h"

#include <fuse.h>

#include <syslog.h>

#include <cassert>
#include <cerrno>
#include <ctime>

mount_settings settings;

region_chunk region_chunks[region_chunk_count];
const unsigned char *region_map = nullptr;
int64_t region_size = 0;
int save_fd = -1;
int save_elsewhere = 0;

FILE *save_file = nullptr;
int tree_modified = 0;
int save_failed = 0;

fs_node root_node = {&root_node, TREE_NODE, nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr};

fs_node *new_fs_node(int32_t kind, nbt_node *node, region_chunk *chunk)
{
    auto *r = new fs_node{};
    r->self = r;
    r->kind = kind;
    r->node = node;
    r->chunk = chunk;
    if (kind == TREE_NODE || kind == ARRAY_ELEMENT_NODE)
        r->subject = node;
    return r;
}

void free_fs_node(fs_node *record) noexcept
{
    if (!record)
        return;
    assert(record != &root_node);
    if (record->kind == CHUNK_LINK_NODE && record->node)
        delete[] record->node->payload.tag_byte_array.data;
    if (record->kind == LIST_TYPE_NODE || record->kind == CHUNK_LINK_NODE)
        delete record->node;
    delete record;
}

fs_node *file_info_to_nbt_node(const fuse_file_info *fi)
{
    auto *node = reinterpret_cast<fs_node *>(uintptr_t(fi->fh));
    assert(node->self == node);
    return node;
}

void mark_modified(const fs_node *record)
{
    if (record->chunk) {
        record->chunk->timestamp = time(nullptr);
        record->chunk->modified = 1;
    } else {
        tree_modified = 1;
    }
}

bool is_directory_type(nbt_type type)
{
    return type == TAG_LIST || type == TAG_COMPOUND || type == TAG_INT_ARRAY || type == TAG_LONG_ARRAY;
}

int region_root_misuse(const char *path)
{
    // libfuse passes no path for a handle whose file was removed.
    syslog(LOG_ERR, "REGION_ROOT_NODE (%s) appears in non-region mount", path ? path : "");
    return -EIO;
}
