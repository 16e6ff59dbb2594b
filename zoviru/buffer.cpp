#include "buffer.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t min_capacity = 1024;
}

int buffer_reserve(struct buffer *b, size_t total)
{
    if (total <= b->cap)
        return 0;
    // Doubling keeps the number of reallocations logarithmic in the final size.
    size_t cap = b->cap < min_capacity ? min_capacity : b->cap;
    while (cap < total) {
        if (cap > SIZE_MAX / 2) {
            cap = total;
            break;
        }
        cap *= 2;
    }
    void *data = realloc(b->data, cap);
    if (!data)
        return -1;
    b->data = static_cast<unsigned char *>(data);
    b->cap = cap;
    return 0;
}

int buffer_append(struct buffer *b, const void *data, size_t n)
{
    if (n > SIZE_MAX - b->len || buffer_reserve(b, b->len + n))
        return -1;
    if (n)
        memcpy(b->data + b->len, data, n);
    b->len += n;
    return 0;
}

void buffer_free(struct buffer *b)
{
    free(b->data);
    b->data = nullptr;
    b->len = 0;
    b->cap = 0;
}
