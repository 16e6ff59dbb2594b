// The FUSE operations of the file system. Each returns 0 (or a byte count)
// or a negated error number. They assume they never run at the same time
// and may throw std::bad_alloc: the table of fuse_table.h wraps every one of
// them in the process-wide lock and the exception boundary.
#pragma once

#include <sys/stat.h>

#include <fuse.h>

#include "mount_state.h"

// Attributes, listing, links and handles.
int nbt_getattr(const char *path, struct stat *st);
int nbt_fgetattr(const char *path, struct stat *st, fuse_file_info *fi);
int nbt_readdir(const char *path, void *buf, fuse_fill_dir_t filler, off_t offset, fuse_file_info *fi);
int nbt_readlink(const char *path, char *buf, size_t size);
int nbt_open(const char *path, fuse_file_info *fi);
int nbt_release(const char *path, fuse_file_info *fi);

// Reading.
int nbt_read(const char *path, char *buf, size_t size, off_t offset, fuse_file_info *fi);

// Writing and truncating.
int nbt_write(const char *path, const char *data, size_t size, off_t offset, fuse_file_info *fi);
int nbt_ftruncate(const char *path, off_t size, fuse_file_info *fi);
int nbt_truncate(const char *path, off_t size);
// The truncation logic shared by both truncations and by opening with O_TRUNC.
int truncate_record(const char *path, fs_node *record, off_t size);

// Creating and removing.
int nbt_mkdir(const char *path, mode_t mode);
int nbt_create(const char *path, mode_t mode, fuse_file_info *fi);
int nbt_unlink(const char *path);
int nbt_rmdir(const char *path);

// Renaming.
int nbt_rename(const char *from, const char *to);

// Time changes: accepted without any effect, since the tree holds no times,
// so that touch works on existing and new entries alike.
int nbt_utimens(const char *path, const struct timespec tv[2]);
