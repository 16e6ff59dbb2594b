#include "saving.h"

#include <sys/mman.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "child_index.h"
#include "mount_state.h"

namespace {

void save_nbt_file()
{
    if (settings.read_only || !save_file || !(tree_modified || settings.write_file))
        return;
    // nbt_dump_file compresses the whole tree in memory before it writes the
    // first byte, so a tree that cannot be written leaves the file as it was.
    // The file is not truncated: readers stop at the end of the stream.
    fseek(save_file, 0, SEEK_SET);
    nbt_status status = nbt_dump_file(root_node.node, save_file, nbt_compression(settings.compression));
    if (status != STATUS_OK) {
        syslog(LOG_ERR, "Failed to save NBT file, %s", nbt_error_to_string(status));
        save_failed = 1;
    }
    if (fclose(save_file) != 0) {
        syslog(LOG_ERR, "Failed to save NBT file, %s", strerror(errno));
        save_failed = 1;
    }
    save_file = nullptr;
}

void put32(unsigned char *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// A failed seek or write stops all further writing.
bool give_up(const char *what)
{
    syslog(LOG_ERR, "%s on fd %d failed, %s; data will not be saved", what, save_fd, strerror(errno));
    close(save_fd);
    save_fd = -1;
    save_failed = 1;
    return false;
}

bool seek_to(off_t offset, int whence = SEEK_SET) { return lseek(save_fd, offset, whence) >= 0 || give_up("lseek"); }

bool write_all(const void *data, size_t length)
{
    return write_fully(save_fd, data, length) >= 0 || give_up("write");
}

// The chunk as it was in the file: its length field and its L bytes.
bool write_stored(const region_chunk &c)
{
    unsigned char length[4];
    put32(length, uint32_t(c.length));
    return write_all(length, 4) && write_all(c.data, size_t(c.length));
}

struct buffer_data {
    void operator()(unsigned char *p) const noexcept { free(p); }
};

bool write_modified(unsigned i, region_chunk &c)
{
    syslog(LOG_DEBUG, "Chunk %u has been modified", i);
    nbt_compression method = settings.compression >= 0 ? nbt_compression(settings.compression)
                             : c.data[0] == 1           ? COMPRESSION_GZIP
                                                        : COMPRESSION_ZLIB;
    struct buffer b = nbt_dump_compressed(c.tree, method);
    std::unique_ptr<unsigned char, buffer_data> data(b.data);
    if (!data) {
        syslog(LOG_ERR, "Failed to compress chunk %u, %s", i, nbt_error_to_string(nbt_status(errno)));
        save_failed = 1;
        return write_stored(c);
    }
    size_t needed = 4 + 1 + b.len;
    if (needed > c.capacity) {
        syslog(LOG_ERR, "Chunk %u is too big to store, need %zu bytes but only %zu bytes available", i, needed,
               size_t(c.capacity));
        save_failed = 1;
        return write_stored(c);
    }
    unsigned char head[5];
    put32(head, uint32_t(b.len + 1));
    head[4] = method == COMPRESSION_GZIP ? 1 : 2;
    // In place without a chosen method the byte in the file already names it.
    bool keep_byte = settings.compression < 0 && !save_elsewhere;
    if (!write_all(head, keep_byte ? 4 : 5) || (keep_byte && !seek_to(1, SEEK_CUR)) || !write_all(data.get(), b.len))
        return false;
    if (c.timestamp < 0 || c.timestamp > int64_t(UINT32_MAX))
        return true;
    unsigned char stamp[4];
    put32(stamp, uint32_t(c.timestamp));
    return seek_to(off_t(4096 + 4 * i)) && write_all(stamp, 4);
}

void save_region()
{
    bool writing = !settings.read_only && save_fd >= 0;
    if (writing && save_elsewhere)
        seek_to(0) && write_all(region_map, 8192);
    for (unsigned i = 0; i < region_chunk_count; i++) {
        region_chunk &c = region_chunks[i];
        if (!c.data)
            continue;
        if (!settings.read_only && save_fd >= 0 && (c.modified || save_elsewhere) && seek_to(c.offset)) {
            if (c.modified && c.tree)
                write_modified(i, c);
            else
                write_stored(c);
        }
        nbt_free(c.tree);
        c.tree = nullptr;
    }
    if (!settings.read_only && save_fd >= 0) {
        if (close(save_fd) != 0) {
            syslog(LOG_ERR, "Failed to close fd %d, %s; data may not be saved", save_fd, strerror(errno));
            save_failed = 1;
        }
        save_fd = -1;
    }
}

} // namespace

int write_fully(int fd, const void *data, size_t length)
{
    const auto *p = static_cast<const unsigned char *>(data);
    size_t done = 0;
    while (done < length) {
        ssize_t n = write(fd, p + done, length - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return int(done);
}

void release_mount() noexcept
{
    forget_child_indexes();
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

void nbt_destroy(void *)
{
    if (settings.region_mode)
        save_region();
    else
        save_nbt_file();
    release_mount();
}
