#include "startup.h"

#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "command_line.h"
#include "fuse_table.h"
#include "mount_state.h"
#include "region_loading.h"
#include "saving.h"

namespace {

void system_error(FILE *err, const char *prefix) { fprintf(err, "%s: %s\n", prefix, strerror(errno)); }

// Whether two paths name one existing file.
bool same_file(const char *a, const char *b)
{
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

int load_nbt_file(const char *program, const char *path, FILE *err)
{
    const char *write_file = settings.write_file ? settings.write_file->c_str() : nullptr;
    // A write file that is the mounted file itself would be emptied before
    // it is read: save into the input stream instead.
    bool in_place = !settings.read_only && (!write_file || same_file(path, write_file));
    FILE *input = fopen(path, in_place ? "r+b" : "rb");
    if (!input) {
        system_error(err, path);
        return 1;
    }
    if (!settings.read_only) {
        if (in_place) {
            save_file = input;
        } else if (!(save_file = fopen(write_file, "wb"))) {
            system_error(err, write_file);
            fclose(input);
            return 1;
        }
    }
    nbt_node *tree = nbt_parse_file(input);
    if (!tree) {
        fprintf(err, "%s: Failed to mount %s, %s\n", program, path, nbt_error_to_string(nbt_status(errno)));
        if (save_file != input && save_file)
            fclose(save_file);
        fclose(input);
        save_file = nullptr;
        return 1;
    }
    root_node = fs_node{};
    root_node.self = &root_node;
    root_node.kind = TREE_NODE;
    root_node.node = tree;
    if (input != save_file)
        fclose(input);
    if (settings.compression < 0)
        settings.compression = COMPRESSION_GZIP;
    syslog(LOG_DEBUG, "NBT %s loaded successfully", path);
    return 0;
}

namespace {

int run(int argc, char **argv)
{
    command_line cl;
    if (int status = scan_command_line(argc, argv, cl, stdout, stderr); status >= 0)
        return status;
    settings = cl.settings;
    openlog("burlfs", LOG_PID | (cl.log_to_stderr ? LOG_PERROR : 0), LOG_DAEMON);
    settings.mount_uid = getuid();
    settings.mount_gid = getgid();
    int loaded = settings.region_mode ? load_region(cl.nbt_file.c_str(), stderr)
                                      : load_nbt_file(argv[0], cl.nbt_file.c_str(), stderr);
    if (loaded != 0) {
        release_mount();
        return loaded;
    }
    std::vector<std::string> args = fuse_argument_vector(cl);
    std::vector<char *> pointers;
    for (auto &a : args)
        pointers.push_back(a.data());
    const fuse_operations &ops = burlfs_operations();
    int result = fuse_main_real(int(pointers.size()), pointers.data(), &ops, sizeof ops, nullptr);
    // destroy runs only when the kernel took the mount; release what is left.
    release_mount();
    return save_failed ? 1 : result;
}

} // namespace

int burlfs_main(int argc, char **argv)
{
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "malloc: %s\n", strerror(ENOMEM));
        return 1;
    }
}
