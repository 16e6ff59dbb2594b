// Unmount: the changed tree, or the changed chunks, are written back, and
// everything the mount holds is released.
#pragma once

// The libfuse destroy operation.
void nbt_destroy(void *private_data);

// Releases the trees, the mapping and the descriptors still held, writing
// nothing. Safe to call more than once.
void release_mount() noexcept;
