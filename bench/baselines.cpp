#include "baselines.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <zlib.h>

namespace bench {

namespace {

struct growing {
    unsigned char *data = nullptr;
    size_t len = 0, cap = 0;
    void reserve(size_t total)
    {
        if (total <= cap)
            return;
        size_t c = cap < 1024 ? 1024 : cap;
        while (c < total)
            c *= 2;
        data = static_cast<unsigned char *>(realloc(data, c));
        if (!data)
            throw std::bad_alloc();
        cap = c;
    }
    ~growing() { free(data); }
};

} // namespace

// The loader's and saver's loop around one zlib call, on a growing buffer.
template <class Call> size_t zlib_loop(z_stream &s, const uint8_t *data, size_t len, Call call)
{
    s.next_in = const_cast<Bytef *>(data);
    s.avail_in = uInt(len);
    growing out;
    int r;
    do {
        out.reserve(out.len + 4096);
        s.next_out = out.data + out.len;
        s.avail_out = 4096;
        r = call(&s);
        out.len += 4096 - s.avail_out;
    } while (r == Z_OK && s.avail_out == 0);
    if (r != Z_STREAM_END && r != Z_OK)
        throw std::runtime_error("zlib failed");
    return out.len;
}

size_t inflate_alone(const uint8_t *data, size_t len)
{
    z_stream s;
    memset(&s, 0, sizeof s);
    inflateInit2(&s, 47);
    size_t n = zlib_loop(s, data, len, [](z_stream *z) { return inflate(z, Z_NO_FLUSH); });
    inflateEnd(&s);
    return n;
}

size_t deflate_alone(const uint8_t *data, size_t len, bool gzip)
{
    z_stream s;
    memset(&s, 0, sizeof s);
    deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY);
    size_t n = zlib_loop(s, data, len, [](z_stream *z) { return deflate(z, Z_FINISH); });
    deflateEnd(&s);
    return n;
}

void malloc_free(const std::vector<size_t> &sizes)
{
    std::vector<void *> blocks(sizes.size());
    for (size_t i = 0; i < sizes.size(); i++) {
        blocks[i] = malloc(sizes[i]);
        if (!blocks[i])
            throw std::bad_alloc();
        *static_cast<volatile char *>(blocks[i]) = 1; // the parser writes every block
    }
    for (void *b : blocks)
        free(b);
}

} // namespace bench
