// How a failure reaches the caller: the first failure's status wins, except
// that a memory failure is always recorded.
#pragma once

#include <cerrno>

#include "zoviru.h"

namespace zoviru {

inline void record_status(nbt_status status)
{
    if (status == STATUS_NO_MEMORY || errno == STATUS_OK)
        errno = status;
}

} // namespace zoviru
