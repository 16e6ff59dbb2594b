// The process-wide state of a mount: the settings fixed at start-up, the
// NBT-file and region state, and the record that stands for one file-system
// object, with the three small operations every FUSE operation uses.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "zoviru.h"

struct fuse_file_info;

// Settings written while the command line is scanned, read-only afterwards.
struct mount_settings {
    int read_only = 0;
    int use_type_prefix = 0;
    int region_mode = 0;
    int chunk_links_visible = 0;
    int swap_array_bytes = 0;
    uint16_t fs_umask = 0;
    std::optional<std::string> write_file;
    int compression = -1; // -1 unset, else an nbt_compression value
    uid_t mount_uid = 0;
    gid_t mount_gid = 0;
};

extern mount_settings settings;

// One chunk slot of a region file; present when data is set.
struct region_chunk {
    int64_t offset;
    uint64_t capacity;
    int64_t timestamp;
    const unsigned char *data; // the compression byte inside the mapping
    uint64_t length;           // L, the bytes after the length field
    nbt_node *tree;            // parsed on first lookup, owned here
    int32_t modified;
};

constexpr unsigned region_chunk_count = 1024;

extern region_chunk region_chunks[region_chunk_count];
extern const unsigned char *region_map;
extern int64_t region_size;
extern int save_fd;
extern int save_elsewhere;

// NBT-file state.
extern FILE *save_file;
extern int tree_modified;

// Set when any part of the saving at unmount failed.
extern int save_failed;

enum fs_node_kind : int32_t {
    TREE_NODE = 0,
    REGION_ROOT_NODE = 1,
    LIST_TYPE_NODE = 2,
    ARRAY_ELEMENT_NODE = 3,
    CHUNK_LINK_NODE = 4,
};

// Type of the pseudo nodes that ".type" files and chunk links own.
constexpr nbt_type TAG_FS_PSEUDO = nbt_type(128);

struct fs_node {
    fs_node *self;
    int32_t kind;
    // TREE_NODE: the tree node; ARRAY_ELEMENT_NODE: the array; LIST_TYPE_NODE
    // and CHUNK_LINK_NODE: a pseudo node owned by the record.
    nbt_node *node;
    list_head *cell; // TREE_NODE: the entry of the cell holding node, if any
    int32_t index;   // ARRAY_ELEMENT_NODE
    region_chunk *chunk;
    int32_t is_chunk_root;
    // The tree node whose release makes this record unusable: the node, the
    // array, or the list of a ".type" file; none for the others.
    nbt_node *subject;
    // Set when subject was released while the record was held by a handle.
    int32_t stale;
    // Links of the registry of records held by open handles.
    fs_node *held_prev, *held_next;
};

extern fs_node root_node;

// A heap record with the given kind and fields; self is set, the rest is 0.
fs_node *new_fs_node(int32_t kind, nbt_node *node, region_chunk *chunk);

// Releases a heap record and the pseudo node it owns. Null is ignored; it is
// never given root_node.
void free_fs_node(fs_node *record) noexcept;

// The record held by an open handle.
fs_node *file_info_to_nbt_node(const fuse_file_info *fi);

// Notes a change made through record: its chunk, or the whole tree.
void mark_modified(const fs_node *record);

// Owns a record for the length of an operation; root_node is never released.
struct record_release {
    void operator()(fs_node *record) const noexcept
    {
        if (record != &root_node)
            free_fs_node(record);
    }
};
using record_ptr = std::unique_ptr<fs_node, record_release>;

// Whether a tree node shows as a directory.
bool is_directory_type(nbt_type type);

// A region root met outside a region mount: logs it and gives -EIO.
int region_root_misuse(const char *path);
