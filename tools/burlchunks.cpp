// burlchunks: the chunk table of a region file, then the tree of every chunk
// stored gzip- or zlib-compressed. The file is mapped read-only and never
// changed; every chunk is judged by region::inspect_chunk, so no read leaves
// the file.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "region_table.h"
#include "tool_cli.h"
#include "zoviru.h"

namespace {

const char *compression_name(uint8_t type)
{
    switch (type) {
    case 1: return "gzip";
    case 2: return "zlib";
    case 3: return "none";
    default: return "unknown";
    }
}

// The Last-Updated column: local time, or the raw value as a signed number
// when it cannot be formatted.
void format_time(uint32_t timestamp, char (&out)[24])
{
    time_t when = time_t(timestamp);
    struct tm local;
    if (localtime_r(&when, &local) && strftime(out, sizeof out, "%F %T", &local) > 0)
        return;
    snprintf(out, sizeof out, "%d", int32_t(timestamp));
}

// The compressed tree of a chunk that the second pass decodes.
struct pending_chunk {
    const unsigned char *data;
    size_t size;
};

using decode_table = std::array<pending_chunk, region::chunk_count>;

// Prints the table and fills in the chunks to decode.
void list_chunks(const unsigned char *map, size_t size, decode_table &decode)
{
    printf("Chunk Offset     Last-Updated              Size Used-Space Compression\n");
    for (unsigned i = 0; i < region::chunk_count; i++) {
        region::chunk_info c = region::inspect_chunk(map, size, i);
        switch (c.state) {
        case region::chunk_state::empty:
            continue;
        case region::chunk_state::bad_offset:
            fprintf(stderr, "Chunk %u has invalid offset %ld that's out of file length\n", i, long(c.offset));
            continue;
        case region::chunk_state::bad_size:
            fprintf(stderr, "Chunk %u has invalid size %d\n", i, c.length);
            continue;
        case region::chunk_state::ok:
            break;
        }
        char when[24];
        format_time(c.timestamp, when);
        printf("%5u 0x%08x %-23s %6zu %10d %s\n", i, uint32_t(c.offset), when, size_t(c.capacity), c.length,
               compression_name(c.compression));
        if (c.compression == 1 || c.compression == 2)
            decode[i] = {c.data + 1, size_t(c.length) - 1};
    }
}

void dump_chunks(const decode_table &decode)
{
    for (unsigned i = 0; i < region::chunk_count; i++) {
        if (!decode[i].data)
            continue;
        printf("\nChunk %u:\n", i);
        // The data says whether it is gzip or zlib, whatever the type byte said.
        nbt_node *tree = nbt_parse_compressed(decode[i].data, decode[i].size);
        if (!tree) {
            fprintf(stderr, "Failed to decode data of chunk %u, %s\n", i, nbt_error_to_string(nbt_status(errno)));
            continue;
        }
        nbt_status s = nbt_dump_ascii_file(tree, stdout);
        nbt_free(tree);
        if (s != STATUS_OK)
            fprintf(stderr, "Failed to stringify data of chunk %u, %s\n", i, nbt_error_to_string(s));
    }
}

} // namespace

int main(int argc, char **argv)
{
    const char *program = tool::program_name(argc, argv, "burlchunks");
    const char *path = tool::single_path(argc, argv, program, "Usage: %s <region-file>\n");
    if (!path)
        return 255;
    setlocale(LC_ALL, "");
    int fd = open(path, O_RDONLY);
    if (fd < 0) {
        perror(path);
        return 1;
    }
    off_t length = lseek(fd, 0, SEEK_END);
    if (length < 0) {
        perror(path);
        close(fd);
        return 1;
    }
    if (size_t(length) < region::header_size) {
        fprintf(stderr, "%s: %s: Too small to be a valid region file\n", program, path);
        close(fd);
        return 1;
    }
    size_t size = size_t(length);
    void *mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapping == MAP_FAILED) {
        perror("mmap");
        close(fd);
        return 1;
    }
    close(fd);
    static decode_table decode{};
    list_chunks(static_cast<const unsigned char *>(mapping), size, decode);
    dump_chunks(decode);
    munmap(mapping, size);
    return tool::finish_output(program, 0);
}
