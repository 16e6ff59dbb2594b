// The growable byte buffer behind the writers, the text dump and the
// (de)compressors. Storage comes from malloc/realloc so that a holder of
// data may release it with free().
#pragma once

#include <cstddef>

#include "zoviru.h"

// Makes cap at least total; 0 on success, -1 when memory cannot be had. The
// bytes in use stay as they were; data may move.
int buffer_reserve(struct buffer *b, size_t total);

// Copies n bytes behind len and advances len; 0 on success, -1 on failure.
int buffer_append(struct buffer *b, const void *data, size_t n);

// Releases the storage and leaves the buffer empty.
void buffer_free(struct buffer *b);
