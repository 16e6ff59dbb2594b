/*
 * zoviru: NBT trees in memory, their binary and text forms, and gzip/zlib
 * compression.
 *
 * Conventions
 * - Every block of a tree (node, name, string, array storage, list cell,
 *   element-type record) is a separate allocation of the process allocator
 *   (malloc/calloc/realloc). Trees handed out by the library belong to the
 *   caller and are released with nbt_free(); text from nbt_dump_ascii() and the
 *   data of buffers from nbt_dump_binary()/nbt_dump_compressed() are released
 *   with free().
 * - Functions that hand back a tree, text or buffer report failure by returning
 *   NULL (a buffer with NULL data) and leave an nbt_status in errno. Functions
 *   that write to a stream return the nbt_status. A positive errno after a call
 *   is the C library's own error number.
 * - Nesting limit: the parser refuses data in which lists and compounds are
 *   nested more than NBT_MAX_DEPTH levels below the root (STATUS_CORRUPT), and
 *   the binary writer refuses such trees likewise, so that whatever the library
 *   writes it can read back.
 * - The library keeps no state and takes no locks; a tree may be read by
 *   several threads at once, but whoever changes or releases it must have it
 *   to itself.
 *
 * This header compiles as C11 and as C++.
 */
#ifndef ZOVIRU_H
#define ZOVIRU_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(ZOVIRU_BUILDING) && defined(__GNUC__)
#define NBT_API __attribute__((visibility("default")))
#else
#define NBT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The enumerations hold values outside their enumerators (a list's recorded
 * element type, any status or compression value), so in C++ they get a fixed
 * signed base; in C they are int-sized and signed as well. */
#ifdef __cplusplus
#define NBT_ENUM_BASE : int32_t
#else
#define NBT_ENUM_BASE
#endif

/* Lists and compounds may nest this many levels below the root. */
#define NBT_MAX_DEPTH 512

/* Tag types. TAG_INVALID is a second name for 0, used where a node must have
 * a real type; no node in a tree has type TAG_END. */
typedef enum nbt_type NBT_ENUM_BASE {
#ifndef __cplusplus
    NBT_TYPE_SIGNED_ = -1, /* makes the C type signed; not a tag type */
#endif
    TAG_INVALID = 0,
    TAG_END = 0,
    TAG_BYTE = 1,
    TAG_SHORT = 2,
    TAG_INT = 3,
    TAG_LONG = 4,
    TAG_FLOAT = 5,
    TAG_DOUBLE = 6,
    TAG_BYTE_ARRAY = 7,
    TAG_STRING = 8,
    TAG_LIST = 9,
    TAG_COMPOUND = 10,
    TAG_INT_ARRAY = 11,
    TAG_LONG_ARRAY = 12
} nbt_type;

/* Status codes; failures are negative. */
typedef enum nbt_status NBT_ENUM_BASE {
    STATUS_OK = 0,
    STATUS_CORRUPT = -1,
    STATUS_NO_MEMORY = -2,
    STATUS_IO = -3,
    STATUS_ZLIB = -4
} nbt_status;

/* Container of compressed output. Any value other than 0 selects zlib. */
typedef enum nbt_compression NBT_ENUM_BASE {
    COMPRESSION_GZIP = 0,
    COMPRESSION_ZLIB = 1
} nbt_compression;

/* Links of a circular, doubly linked list. They point at the entry members
 * of the neighbouring cells; the backward link comes first. */
struct list_head {
    struct list_head *prev;
    struct list_head *next;
};

struct nbt_node;

/* One cell of the child list of a TAG_LIST or TAG_COMPOUND. The payload of
 * the parent points at a sentinel cell that anchors the ring: for a compound
 * its data is NULL, for a list it is the element-type record, a node of which
 * only type is meaningful. */
struct nbt_list {
    struct nbt_node *data;
    struct list_head entry;
};

struct nbt_byte_array {
    unsigned char *data; /* NULL only when length is 0 */
    int32_t length;      /* elements, never negative */
};

struct nbt_int_array {
    int32_t *data; /* host byte order */
    int32_t length;
};

struct nbt_long_array {
    int64_t *data; /* host byte order */
    int32_t length;
};

typedef struct nbt_node {
    nbt_type type;
    char *name; /* NUL-terminated, owned; NULL for list elements */
    union {
        int8_t tag_byte;
        int16_t tag_short;
        int32_t tag_int;
        int64_t tag_long;
        float tag_float;
        double tag_double;
        struct nbt_byte_array tag_byte_array;
        char *tag_string; /* NUL-terminated, owned, never NULL in a tree */
        struct nbt_list *tag_list;
        struct nbt_list *tag_compound;
        struct nbt_int_array tag_int_array;
        struct nbt_long_array tag_long_array;
    } payload;
} nbt_node;

/* A growable byte buffer. An all-zero record is the empty buffer; data comes
 * from malloc/realloc, so its holder may release it with free(). */
struct buffer {
    unsigned char *data;
    size_t len;
    size_t cap;
};

/* ---- List operations -------------------------------------------------- */

/* Makes an empty ring: both links point at the entry itself. */
static inline void list_init(struct list_head *head)
{
    head->prev = head;
    head->next = head;
}

/* Inserts entry at the tail of the ring anchored in head. */
static inline void list_append(struct list_head *entry, struct list_head *head)
{
    entry->prev = head->prev;
    entry->next = head;
    head->prev->next = entry;
    head->prev = entry;
}

/* Removes entry from its ring and clears its links. */
static inline void list_unlink(struct list_head *entry)
{
    entry->next->prev = entry->prev;
    entry->prev->next = entry->next;
    entry->prev = NULL;
    entry->next = NULL;
}

/* True when the ring anchored in head has no cell. */
static inline bool list_is_empty(const struct list_head *head)
{
    return head->next == head;
}

/* The cell that holds a list entry. */
static inline struct nbt_list *list_cell(struct list_head *entry)
{
    return (struct nbt_list *)(void *)((char *)entry - offsetof(struct nbt_list, entry));
}

/* ---- Naming, release and counting -------------------------------------- */

/* Constant text naming a tag type ("TAG_INT"); "TAG_UNKNOWN" outside 0..12. */
NBT_API const char *nbt_type_to_string(nbt_type type);

/* Constant text naming a status; "Unknown error." for any other value. */
NBT_API const char *nbt_error_to_string(nbt_status status);

/* Releases a node and everything it owns. NULL is ignored. */
NBT_API void nbt_free(nbt_node *tree);

/* Releases a sentinel cell, every cell of its ring with its node, and its
 * element-type record. NULL is ignored. */
NBT_API void nbt_free_list(struct nbt_list *list);

/* Number of nodes in the tree (0 for NULL). */
NBT_API uint64_t nbt_size(const nbt_node *tree);

/* ---- Tree operations ----------------------------------------------------- */

/* All of them walk depth first and pre-order: a node before its children, the
 * children in list order. Callbacks get the auxiliary pointer unchanged and
 * must neither add nor remove cells of the lists being walked, nor release
 * nodes. A NULL callback is a caller's error: nbt_map, nbt_filter and
 * nbt_filter_inplace stop the process with an assertion failure, as
 * nbt_find_by_path does for a NULL tree or path. */

/* Visitor for nbt_map: may change the node; returns false to stop the walk. */
typedef bool (*nbt_visitor_t)(nbt_node *node, void *aux);

/* Predicate for nbt_filter, nbt_filter_inplace and nbt_find: must not change
 * the node; returns true to accept it. */
typedef bool (*nbt_predicate_t)(const nbt_node *node, void *aux);

/* A deep copy that shares no block with the tree, owned by the caller
 * (release with nbt_free). NULL for a NULL tree (errno untouched) or on
 * failure (STATUS_NO_MEMORY in errno). The tree's type must not be
 * TAG_INVALID. */
NBT_API nbt_node *nbt_clone(const nbt_node *tree);

/* Calls v on every node; a node's children are walked after v returned, so v
 * may change the node itself. True when the walk ran to the end, false as
 * soon as a call returned false. A NULL tree gives true. */
NBT_API bool nbt_map(nbt_node *tree, nbt_visitor_t v, void *aux);

/* A new tree, owned by the caller (release with nbt_free), holding the nodes
 * that filter accepted and whose ancestors it all accepted, in their order;
 * the descendants of a rejected node are not offered to filter. errno is set
 * to 0 first. NULL with errno 0: the tree is NULL or its root was rejected.
 * NULL with a nonzero errno: failure, either STATUS_NO_MEMORY or the nonzero
 * errno that filter left behind. The tree is never changed. */
NBT_API nbt_node *nbt_filter(const nbt_node *tree, nbt_predicate_t filter, void *aux);

/* Removes and releases the nodes that filter rejects (with their
 * descendants) from the tree itself. Returns the tree, or NULL when the root
 * was rejected, in which case the whole tree has been released. Allocates
 * nothing, cannot fail and leaves errno alone. */
NBT_API nbt_node *nbt_filter_inplace(nbt_node *tree, nbt_predicate_t filter, void *aux);

/* The first node that filter accepts, or NULL. The node stays owned by the
 * tree. */
NBT_API nbt_node *nbt_find(nbt_node *tree, nbt_predicate_t filter, void *aux);

/* The first node whose name has the bytes of name, or NULL; with a NULL name
 * the first unnamed node (a list element). The node stays owned by the
 * tree. */
NBT_API nbt_node *nbt_find_by_name(nbt_node *tree, const char *name);

/* The node that a path of components separated by "." leads to, or NULL. The
 * first component must match the tree's own name, each further one the name
 * of a child of the node before; an unnamed node (a list element) matches
 * only the empty component, and every matching child is tried until the rest
 * resolves. "" is the root when it is unnamed or has the empty name. Names
 * that contain "." cannot be reached. The node stays owned by the tree. */
NBT_API nbt_node *nbt_find_by_path(nbt_node *tree, const char *path);

/* The child at zero-based position n of a list or compound, or NULL (a NULL
 * node, another type, or n outside 0..count-1). Owned by the tree; takes time
 * proportional to n. */
NBT_API nbt_node *nbt_list_item(nbt_node *list, int32_t n);

/* True when both trees (neither may be NULL) have the same types, names
 * (an unnamed node differs from one with the empty name), values and
 * children in the same order (compounds by position, not by name). Floats
 * and doubles are equal when, taken as doubles, the smaller plus 0.000001 is
 * at least the larger; with NaN that holds only for a NaN in a and a number in
 * b. TAG_END and unknown types are never equal. List element types are not
 * compared. */
NBT_API bool nbt_eq(const nbt_node *a, const nbt_node *b);

/* ---- Binary form ---------------------------------------------------------- */

/* Parses uncompressed NBT data. Returns the tree (owned by the caller) with
 * errno STATUS_OK, or NULL with the status in errno. */
NBT_API nbt_node *nbt_parse(const void *mem, size_t len);

/* Writes the tree as uncompressed NBT data. On failure the buffer's data is
 * NULL and errno holds the status; errno is untouched on success and for a
 * NULL tree (which gives the empty buffer). Release the data with free(). */
NBT_API struct buffer nbt_dump_binary(const nbt_node *tree);

/* ---- Text form ------------------------------------------------------------ */

/* The tree (which must be given) as indented text, a NUL-terminated string
 * owned by the caller, to release with free(); errno is STATUS_OK. On failure
 * NULL with the status in errno: STATUS_CORRUPT for a node of no known type or
 * a string without its value, STATUS_NO_MEMORY. Names and strings are quoted
 * and cut to about 8 KiB. */
NBT_API char *nbt_dump_ascii(const nbt_node *tree);

/* Writes the same text onto a stream while it is produced; returns the
 * status. A failure deep in the tree leaves the text so far on the stream,
 * every open list and compound closed. A NULL tree writes nothing
 * (STATUS_OK); a NULL stream gives STATUS_CORRUPT. Only trees nested more
 * than 64 levels need memory for the walk (STATUS_NO_MEMORY when there is
 * none). errno is left alone, the stream is not flushed, and its own write
 * errors are for the caller to check (ferror). */
NBT_API nbt_status nbt_dump_ascii_file(const nbt_node *tree, FILE *fp);

/* ---- Compressed form ------------------------------------------------------ */

/* Decompresses gzip or zlib data (detected automatically) and parses it. */
NBT_API nbt_node *nbt_parse_compressed(const void *chunk_start, size_t length);

/* Reads a stream to its end and parses it as nbt_parse_compressed does. The
 * stream is neither repositioned nor closed. */
NBT_API nbt_node *nbt_parse_file(FILE *fp);

/* Opens a path, loads it as nbt_parse_file does, and closes it. */
NBT_API nbt_node *nbt_parse_path(const char *filename);

/* The tree written and compressed into a new buffer (release its data with
 * free()); the empty buffer with the status in errno on failure. */
NBT_API struct buffer nbt_dump_compressed(const nbt_node *tree, nbt_compression compression);

/* Writes the compressed tree at the stream's position; returns the status.
 * The stream is neither flushed nor closed. */
NBT_API nbt_status nbt_dump_file(const nbt_node *tree, FILE *fp, nbt_compression compression);

#ifdef __cplusplus
}
#endif

#endif /* ZOVIRU_H */
