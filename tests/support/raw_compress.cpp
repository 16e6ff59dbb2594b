#include "raw_compress.h"

#include <zlib.h>

#include <stdexcept>

namespace rc {

std::vector<uint8_t> compress(const std::vector<uint8_t> &in, bool gzip)
{
    z_stream s{};
    if (deflateInit2(&s, 6, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<uint8_t> out(deflateBound(&s, uLong(in.size())) + 64);
    s.next_in = const_cast<Bytef *>(in.data());
    s.avail_in = uInt(in.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    int r = deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    if (r != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

} // namespace rc
