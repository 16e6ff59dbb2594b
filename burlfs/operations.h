// The FUSE operations of the file system. Each returns 0 (or a byte count)
// or a negated error number. They assume they never run at the same time
// and may throw std::bad_alloc: the table of fuse_table.h wraps every one of
// them in the process-wide lock and the exception boundary.
#pragma once

#include <sys/stat.h>

#include <fuse.h>

// Attributes, listing, links and handles.
int nbt_getattr(const char *path, struct stat *st);
int nbt_fgetattr(const char *path, struct stat *st, fuse_file_info *fi);
int nbt_readdir(const char *path, void *buf, fuse_fill_dir_t filler, off_t offset, fuse_file_info *fi);
int nbt_readlink(const char *path, char *buf, size_t size);
int nbt_open(const char *path, fuse_file_info *fi);
int nbt_release(const char *path, fuse_file_info *fi);

// Reading.
int nbt_read(const char *path, char *buf, size_t size, off_t offset, fuse_file_info *fi);
