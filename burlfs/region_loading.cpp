#include "region_loading.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "mount_state.h"
#include "region_table.h"

namespace {

void system_error(FILE *err, const char *prefix) { fprintf(err, "%s: %s\n", prefix, strerror(errno)); }

// Checks the table entries of chunk i; true when it may be used. A rejected
// chunk is reported on err.
bool accept_chunk(unsigned i, FILE *err, bool &damaged)
{
    region::chunk_info c = region::inspect_chunk(region_map, size_t(region_size), i);
    switch (c.state) {
    case region::chunk_state::empty:
        return false;
    case region::chunk_state::bad_offset:
        fprintf(err, "Chunk %u has invalid offset %ld that's out of file length\n", i, long(c.offset));
        damaged = true;
        return false;
    case region::chunk_state::bad_size:
        fprintf(err, "Chunk %u has invalid size %d\n", i, c.length);
        damaged = true;
        return false;
    case region::chunk_state::ok:
        break;
    }
    // A length of 0 leaves no room even for the compression byte.
    if (c.length == 0) {
        fprintf(err, "Chunk %u has invalid size %d\n", i, c.length);
        damaged = true;
        return false;
    }
    if (c.compression != 1 && c.compression != 2) {
        fprintf(err, "Chunk %u has unsupported compression type %hhu\n", i, c.compression);
        damaged = true;
        return false;
    }
    region_chunk &chunk = region_chunks[i];
    chunk.offset = c.offset;
    chunk.capacity = c.capacity;
    chunk.timestamp = c.timestamp;
    chunk.data = c.data;
    chunk.length = uint64_t(c.length);
    chunk.tree = nullptr;
    chunk.modified = 0;
    return true;
}

} // namespace

int load_region(const char *path, FILE *err)
{
    bool in_place = !settings.read_only && !settings.write_file;
    int fd = open(path, in_place ? O_RDWR : O_RDONLY);
    if (fd < 0) {
        system_error(err, path);
        return 1;
    }
    if (!settings.read_only) {
        if (settings.write_file) {
            save_fd = open(settings.write_file->c_str(), O_WRONLY | O_CREAT, 0666);
            if (save_fd < 0) {
                system_error(err, settings.write_file->c_str());
                close(fd);
                return 1;
            }
            save_elsewhere = 1;
        } else {
            save_fd = fd;
            save_elsewhere = 0;
        }
    }
    off_t size = lseek(fd, 0, SEEK_END);
    if (size < 0) {
        system_error(err, "lseek");
        return 1;
    }
    if (size < off_t(region::header_size)) {
        fprintf(err, "File is too small to be a valid region file\n");
        return 1;
    }
    region_size = size;
    lseek(fd, 0, SEEK_SET);
    void *map = mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) {
        system_error(err, "mmap");
        return 1;
    }
    region_map = static_cast<const unsigned char *>(map);
    for (unsigned i = 0; i < region_chunk_count; i++) {
        bool damaged = false;
        if (accept_chunk(i, err, damaged) || !damaged || settings.read_only)
            continue;
        fprintf(err, "Cannot continue in read-write mode\n");
        return 1;
    }
    root_node = fs_node{};
    root_node.self = &root_node;
    root_node.kind = REGION_ROOT_NODE;
    if (fd != save_fd)
        close(fd);
    syslog(LOG_DEBUG, "Region %s loaded successfully", path);
    return 0;
}
