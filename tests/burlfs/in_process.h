// Calling the file system's operations in-process, through the same table
// that libfuse is given, over a tree or region file the test installs.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "fuse_table.h"
#include "mount_state.h"

namespace ip {

// Installs tree as the mounted NBT tree with the given settings; releases
// it and resets the mount state at the end of the scope.
class installed_tree {
public:
    explicit installed_tree(nbt_node *tree, const mount_settings &s = {});
    ~installed_tree();
    installed_tree(const installed_tree &) = delete;
    installed_tree &operator=(const installed_tree &) = delete;
};

// Loads a region file as start-up does (settings.region_mode is set);
// releases and resets at the end of the scope. ok() is false when loading
// refused the file.
class installed_region {
public:
    installed_region(const std::string &path, mount_settings s = {});
    ~installed_region();
    installed_region(const installed_region &) = delete;
    installed_region &operator=(const installed_region &) = delete;
    bool ok() const { return ok_; }
    const std::string &messages() const { return messages_; }

private:
    bool ok_ = false;
    std::string messages_;
};

// Puts the mount state back as it is at program start.
void reset_mount_state();

const fuse_operations &ops();

// An open handle, released at the end of the scope.
struct handle {
    fuse_file_info fi{};
    int result = 0; // of the open
    handle(const std::string &path, int flags = O_RDONLY, bool directory = false);
    ~handle();
    handle(const handle &) = delete;
    handle &operator=(const handle &) = delete;
};

struct read_result {
    int result; // byte count or negated error number
    std::string bytes;
};

// One read of size bytes at offset through a fresh handle.
read_result read(const std::string &path, off_t offset, size_t size);
// The whole content, read in pieces of piece bytes; "" with result < 0 on
// failure.
read_result read_whole(const std::string &path, size_t piece = 4096);

int getattr(const std::string &path, struct stat &st);

// The entries readdir gives, in its order.
struct listing {
    int result;
    std::vector<std::string> names;
};
listing list(const std::string &path);

} // namespace ip
