// The node model is part of the library's interface: programs build and walk
// trees themselves, so its layout must never drift.
#include <cstddef>

#include "zoviru.h"

static_assert(sizeof(nbt_type) == 4 && static_cast<nbt_type>(-1) < 0);
static_assert(sizeof(nbt_status) == sizeof(int));

static_assert(offsetof(struct list_head, prev) == 0);
static_assert(offsetof(struct list_head, next) == sizeof(void *));
static_assert(sizeof(struct list_head) == 2 * sizeof(void *));

static_assert(offsetof(struct nbt_list, data) == 0);
static_assert(offsetof(struct nbt_list, entry) == sizeof(void *));
static_assert(sizeof(struct nbt_list) == 3 * sizeof(void *));

static_assert(offsetof(struct nbt_byte_array, data) == 0);
static_assert(offsetof(struct nbt_byte_array, length) == sizeof(void *));
static_assert(offsetof(struct nbt_int_array, length) == sizeof(void *));
static_assert(offsetof(struct nbt_long_array, length) == sizeof(void *));
static_assert(sizeof(nbt_node::payload.tag_byte_array.length) == 4);

static_assert(offsetof(nbt_node, type) == 0);
static_assert(offsetof(nbt_node, name) == sizeof(void *));
static_assert(offsetof(nbt_node, payload) == 2 * sizeof(void *));
static_assert(sizeof(nbt_node::payload) == 2 * sizeof(void *));
static_assert(sizeof(nbt_node) == 4 * sizeof(void *));

static_assert(offsetof(struct buffer, data) == 0);
static_assert(offsetof(struct buffer, len) == sizeof(void *));
static_assert(offsetof(struct buffer, cap) == sizeof(void *) + sizeof(size_t));
