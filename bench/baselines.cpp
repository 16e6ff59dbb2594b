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

size_t inflate_alone(const uint8_t *data, size_t len)
{
    z_stream s;
    memset(&s, 0, sizeof s);
    inflateInit2(&s, 47);
    s.next_in = const_cast<Bytef *>(data);
    s.avail_in = uInt(len);
    growing out;
    int r;
    do {
        out.reserve(out.len + 4096);
        s.next_out = out.data + out.len;
        s.avail_out = 4096;
        r = inflate(&s, Z_NO_FLUSH);
        out.len += 4096 - s.avail_out;
    } while (r == Z_OK && s.avail_out == 0);
    inflateEnd(&s);
    if (r != Z_STREAM_END && r != Z_OK)
        throw std::runtime_error("inflate failed");
    return out.len;
}

size_t deflate_alone(const uint8_t *data, size_t len, bool gzip)
{
    z_stream s;
    memset(&s, 0, sizeof s);
    deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY);
    s.next_in = const_cast<Bytef *>(data);
    s.avail_in = uInt(len);
    growing out;
    int r;
    do {
        out.reserve(out.len + 4096);
        s.next_out = out.data + out.len;
        s.avail_out = 4096;
        r = deflate(&s, Z_FINISH);
        out.len += 4096 - s.avail_out;
    } while (r == Z_OK);
    deflateEnd(&s);
    return out.len;
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
