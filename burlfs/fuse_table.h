// The operations table handed to libfuse. libfuse runs its default,
// multi-threaded loop, and the tree carries no lock, so every operation runs
// under one process-wide mutex; no exception leaves an operation (running out
// of memory becomes -ENOMEM).
#pragma once

#include <fuse.h>

const fuse_operations &burlfs_operations();
