// gzip and zlib around the parser and the writer: whole-buffer processing, one
// z_stream per call with zlib's default memory functions.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <zlib.h>

#include "buffer.h"
#include "status.h"
#include "zoviru.h"

using zoviru::record_status;

namespace {

constexpr size_t step = 4096;
constexpr int window_bits = 15;
constexpr int detect_header = 32; // inflate: recognise gzip and zlib
constexpr int gzip_wrapper = 16;  // deflate: write a gzip wrapper

// zlib refusing to start for want of memory is a memory failure like any other.
nbt_status init_failure(int r) { return r == Z_MEM_ERROR ? STATUS_NO_MEMORY : STATUS_ZLIB; }

// What inflation and deflation share: the input, handed to zlib in pieces
// (avail_in is 32 bits wide), and the output, grown by 4096 bytes of room per
// step.
struct pump {
    z_stream stream;
    const unsigned char *next;
    size_t left;
    struct buffer out = {};

    pump(const void *data, size_t len) : next(static_cast<const unsigned char *>(data)), left(len)
    {
        memset(&stream, 0, sizeof stream);
    }

    // One call of zlib with room for step bytes behind len; Z_MEM_ERROR also
    // when the output cannot grow.
    template <class Call> int run(Call call)
    {
        if (buffer_reserve(&out, out.len + step))
            return Z_MEM_ERROR;
        if (stream.avail_in == 0 && left > 0) {
            uInt n = uInt(std::min<size_t>(left, UINT_MAX));
            stream.next_in = const_cast<Bytef *>(next);
            stream.avail_in = n;
            next += n;
            left -= n;
        }
        stream.next_out = out.data + out.len;
        stream.avail_out = step;
        int r = call(&stream);
        out.len += step - stream.avail_out;
        return r;
    }
};

// Deflates len bytes into a new buffer; the empty buffer on failure.
struct buffer __compress(const unsigned char *data, size_t len, nbt_compression compression)
{
    pump p(data, len);
    int bits = compression == COMPRESSION_GZIP ? window_bits + gzip_wrapper : window_bits;
    int r = deflateInit2(&p.stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, bits, 8, Z_DEFAULT_STRATEGY);
    if (r != Z_OK) {
        record_status(init_failure(r));
        return p.out;
    }
    for (;;) {
        r = p.run([&](z_stream *s) { return deflate(s, p.left > 0 ? Z_NO_FLUSH : Z_FINISH); });
        if (r == Z_STREAM_END) {
            deflateEnd(&p.stream);
            return p.out;
        }
        if (r == Z_MEM_ERROR || r == Z_STREAM_ERROR) {
            record_status(r == Z_MEM_ERROR ? STATUS_NO_MEMORY : STATUS_ZLIB);
            break;
        }
    }
    deflateEnd(&p.stream);
    buffer_free(&p.out);
    return p.out;
}

} // namespace

extern "C" nbt_node *nbt_parse_compressed(const void *chunk_start, size_t length)
{
    errno = STATUS_OK;
    pump p(chunk_start, length);
    int r = inflateInit2(&p.stream, window_bits + detect_header);
    if (r != Z_OK) {
        record_status(init_failure(r));
        return nullptr;
    }
    for (;;) {
        r = p.run([](z_stream *s) { return inflate(s, Z_NO_FLUSH); });
        if (r == Z_DATA_ERROR || r == Z_NEED_DICT) {
            record_status(STATUS_ZLIB);
            break;
        }
        if (r == Z_MEM_ERROR) {
            record_status(STATUS_NO_MEMORY);
            break;
        }
        if (p.stream.avail_out == 0)
            continue;
        if (r == Z_STREAM_END) {
            inflateEnd(&p.stream);
            nbt_node *tree = nbt_parse(p.out.data, p.out.len);
            int status = errno;
            buffer_free(&p.out);
            errno = status;
            return tree;
        }
        if (r == Z_OK && p.stream.avail_in == 0 && p.left > 0)
            continue; // the next piece of a large input
        // Input exhausted before the end of the stream, or zlib cannot go on.
        record_status(STATUS_ZLIB);
        break;
    }
    inflateEnd(&p.stream);
    buffer_free(&p.out);
    return nullptr;
}

extern "C" nbt_node *nbt_parse_file(FILE *fp)
{
    errno = STATUS_OK;
    struct buffer in = {};
    for (;;) {
        if (buffer_reserve(&in, in.len + step)) {
            buffer_free(&in);
            errno = STATUS_NO_MEMORY;
            return nullptr;
        }
        in.len += fread(in.data + in.len, 1, step, fp);
        if (ferror(fp)) {
            buffer_free(&in);
            errno = STATUS_IO;
            return nullptr;
        }
        if (feof(fp))
            break;
    }
    nbt_node *tree = nbt_parse_compressed(in.data, in.len);
    int status = errno;
    buffer_free(&in);
    errno = status;
    return tree;
}

extern "C" nbt_node *nbt_parse_path(const char *filename)
{
    FILE *fp = fopen(filename, "rb");
    if (!fp) {
        errno = STATUS_IO;
        return nullptr;
    }
    nbt_node *tree = nbt_parse_file(fp);
    int status = errno;
    fclose(fp);
    errno = status;
    return tree;
}

extern "C" struct buffer nbt_dump_compressed(const nbt_node *tree, nbt_compression compression)
{
    struct buffer bin = nbt_dump_binary(tree);
    if (!bin.data)
        return bin;
    errno = STATUS_OK;
    struct buffer out = __compress(bin.data, bin.len, compression);
    int status = errno;
    buffer_free(&bin);
    errno = status;
    return out;
}

extern "C" nbt_status nbt_dump_file(const nbt_node *tree, FILE *fp, nbt_compression compression)
{
    struct buffer out = nbt_dump_compressed(tree, compression);
    if (!out.data)
        return nbt_status(errno);
    size_t written = 0;
    while (written < out.len) {
        size_t n = fwrite(out.data + written, 1, out.len - written, fp);
        // A write that takes nothing and reports no error would loop forever.
        if (ferror(fp) || n == 0) {
            buffer_free(&out);
            return STATUS_IO;
        }
        written += n;
    }
    buffer_free(&out);
    return STATUS_OK;
}
