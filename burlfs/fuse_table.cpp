#include "fuse_table.h"

#include <syslog.h>

#include <cerrno>
#include <mutex>
#include <new>

#include "operations.h"
#include "saving.h"

namespace {

std::mutex fs_mutex;

template <auto Op> struct guarded;

template <class... A, int (*Op)(A...)> struct guarded<Op> {
    static int call(A... a) noexcept
    {
        try {
            std::lock_guard<std::mutex> lock(fs_mutex);
            return Op(a...);
        } catch (const std::bad_alloc &) {
            return -ENOMEM;
        } catch (...) {
            return -EIO;
        }
    }
};

template <class... A, void (*Op)(A...)> struct guarded<Op> {
    static void call(A... a) noexcept
    {
        try {
            std::lock_guard<std::mutex> lock(fs_mutex);
            Op(a...);
        } catch (...) {
            syslog(LOG_ERR, "Unexpected failure at unmount");
        }
    }
};

fuse_operations make_table()
{
    fuse_operations ops{};
    ops.getattr = guarded<nbt_getattr>::call;
    ops.readlink = guarded<nbt_readlink>::call;
    ops.mkdir = guarded<nbt_mkdir>::call;
    ops.unlink = guarded<nbt_unlink>::call;
    ops.rmdir = guarded<nbt_rmdir>::call;
    ops.rename = guarded<nbt_rename>::call;
    ops.truncate = guarded<nbt_truncate>::call;
    ops.open = guarded<nbt_open>::call;
    ops.read = guarded<nbt_read>::call;
    ops.write = guarded<nbt_write>::call;
    ops.release = guarded<nbt_release>::call;
    ops.opendir = guarded<nbt_open>::call;
    ops.readdir = guarded<nbt_readdir>::call;
    ops.releasedir = guarded<nbt_release>::call;
    ops.create = guarded<nbt_create>::call;
    ops.ftruncate = guarded<nbt_ftruncate>::call;
    ops.fgetattr = guarded<nbt_fgetattr>::call;
    ops.destroy = guarded<nbt_destroy>::call;
    // Operations on an open file whose path is gone (removed while open with
    // hard_remove, or replaced) reach the handle's record, which answers
    // -ESTALE, instead of failing in libfuse with -ENOENT; those operations
    // use the path for log messages only.
    ops.flag_nullpath_ok = 1;
    return ops;
}

const fuse_operations table = make_table();

} // namespace

const fuse_operations &burlfs_operations() { return table; }
