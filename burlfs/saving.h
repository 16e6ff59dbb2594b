// Unmount: the changed tree, or the changed chunks, are written back, and
// everything the mount holds is released. Any failure of the saving is
// logged and sets save_failed, so that the program does not exit with 0.
#pragma once

#include <cstddef>

// The libfuse destroy operation.
void nbt_destroy(void *private_data);

// Writes all length bytes, again after a partial write and after EINTR.
// Returns the count written, or -1 on any other error; a write that takes
// nothing ends the loop early with the count so far.
int write_fully(int fd, const void *data, size_t length);

// Releases the trees, the mapping and the descriptors still held, writing
// nothing. Safe to call more than once.
void release_mount() noexcept;
