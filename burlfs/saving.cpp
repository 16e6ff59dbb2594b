#include "saving.h"

#include <sys/mman.h>
#include <unistd.h>

#include "mount_state.h"

void release_mount() noexcept
{
    if (root_node.kind == TREE_NODE) {
        nbt_free(root_node.node);
        root_node.node = nullptr;
    }
    for (region_chunk &chunk : region_chunks) {
        nbt_free(chunk.tree);
        chunk.tree = nullptr;
    }
    if (region_map) {
        munmap(const_cast<unsigned char *>(region_map), size_t(region_size));
        region_map = nullptr;
    }
    if (save_file) {
        fclose(save_file);
        save_file = nullptr;
    }
    if (save_fd >= 0) {
        close(save_fd);
        save_fd = -1;
    }
}

void nbt_destroy(void *) { release_mount(); }
