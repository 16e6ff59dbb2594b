#include "command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "burl_version.h"

namespace {

constexpr int usage_status = 255;

void usage(const char *program, FILE *err)
{
    fprintf(err, "Usage: %s [-o <fs-options>] [-fnrvw] <nbt-file> <mount-point>\n", program);
}

bool host_is_big_endian()
{
    const uint16_t probe = 1;
    return *reinterpret_cast<const unsigned char *>(&probe) == 0;
}

// Handles one item; returns -1, or the status to exit with.
int mount_option(std::string_view item, mount_settings &s, std::string &passed, FILE *err)
{
    auto value_of = [&item](std::string_view prefix, std::string_view &value) {
        if (item.substr(0, prefix.size()) != prefix)
            return false;
        value = item.substr(prefix.size());
        return true;
    };
    std::string_view v;
    if (item == "ro") {
        s.read_only = 1;
    } else if (item == "rw") {
        s.read_only = 0;
    } else if (value_of("umask=", v)) {
        s.fs_umask = uint16_t(strtoul(std::string(v).c_str(), nullptr, 8) & 0777);
    } else if (item == "typeprefix") {
        s.use_type_prefix = 1;
    } else if (item == "region") {
        s.region_mode = 1;
    } else if (value_of("writefile=", v)) {
        s.write_file = std::string(v);
    } else if (value_of("compression=", v)) {
        if (v == "gzip") {
            s.compression = COMPRESSION_GZIP;
        } else if (v == "zlib") {
            s.compression = COMPRESSION_ZLIB;
        } else {
            fprintf(err, "Compression type %.*s is not supported\n", int(v.size()), v.data());
            return usage_status;
        }
    } else if (value_of("chunksymlink=", v)) {
        if (v == "hidden" || v == "visible") {
            s.chunk_links_visible = v == "visible";
        } else {
            fprintf(err, "Invalid argument '%.*s' for 'chunksymlink', it can only be 'hidden' or 'visible'\n",
                    int(v.size()), v.data());
            return usage_status;
        }
    } else if (value_of("arraybyteorder=", v)) {
        if (v == "host") {
            s.swap_array_bytes = 0;
        } else if (v == "big" || v == "little") {
            s.swap_array_bytes = (v == "big") != host_is_big_endian();
        } else {
            fprintf(err, "Invalid argument '%.*s' for 'arraybyteorder', it can only be 'host', 'big' or 'little'\n",
                    int(v.size()), v.data());
            return usage_status;
        }
    } else {
        if (!passed.empty())
            passed += ',';
        passed += item;
    }
    return -1;
}

void out_of_memory(const char *what, FILE *err)
{
    fprintf(err, "%s: %s\n", what, strerror(ENOMEM));
}

} // namespace

int parse_extended_options(std::string_view list, command_line &cl, FILE *err)
{
    std::string passed;
    try {
        // A trailing comma ends the list; an empty item holds no option and
        // is not passed on.
        while (!list.empty()) {
            size_t comma = list.find(',');
            std::string_view item = list.substr(0, comma);
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            if (item.empty())
                continue;
            int status = mount_option(item, cl.settings, passed, err);
            if (status >= 0)
                return status;
        }
        if (passed.empty())
            return -1;
    } catch (const std::bad_alloc &) {
        out_of_memory("parse_extended_options: realloc", err);
        return 1;
    }
    cl.fuse_options.push_back("-o");
    cl.fuse_options.push_back(passed);
    return -1;
}

namespace {

// Handles the letters of one option argument; next is the first argument
// not yet used, which letters that take a value consume.
int letter_options(const char *program, const char *arg, int argc, char *const *argv, int &next,
                   command_line &cl, FILE *out, FILE *err)
{
    for (const char *p = arg + 1; *p; p++) {
        switch (char c = *p) {
        case 'f':
            cl.fuse_options.push_back("-f");
            cl.log_to_stderr = true;
            break;
        case 'n':
            break;
        case 'r':
            cl.settings.read_only = 1;
            break;
        case 'w':
            cl.settings.read_only = 0;
            break;
        case 'v':
            cl.log_to_stderr = true;
            break;
        case 'o':
            if (next >= argc) {
                fprintf(err, "%s: Option '-o' requires an argument\n", program);
                return usage_status;
            }
            if (int status = parse_extended_options(argv[next++], cl, err); status >= 0)
                return status;
            break;
        case 't':
        case 'F':
            if (next >= argc) {
                fprintf(err, "%s: Option '-%c' requires an argument\n", program, c);
                return usage_status;
            }
            if (strcmp(argv[next++], "nbt") != 0) {
                fprintf(err, "%s: The file system type may only be specified as 'nbt'\n", program);
                return usage_status;
            }
            break;
        case 'h':
            usage(program, err);
            return 0;
        case 'V':
            fprintf(out, "burlfs %s\n", BURL_VERSION);
            return 0;
        default:
            fprintf(err, "%s: Invalid option '-%c'\n", program, c);
            usage(program, err);
            return usage_status;
        }
    }
    return -1;
}

int long_option(const char *program, const char *arg, command_line &cl, FILE *out, FILE *err)
{
    if (strcmp(arg, "--verbose") == 0) {
        cl.log_to_stderr = true;
        return -1;
    }
    if (strcmp(arg, "--help") == 0) {
        usage(program, err);
        return 0;
    }
    if (strcmp(arg, "--version") == 0) {
        fprintf(out, "burlfs %s\n", BURL_VERSION);
        return 0;
    }
    fprintf(err, "%s: Invalid option '%s'\n", program, arg);
    return usage_status;
}

int scan(int argc, char *const *argv, command_line &cl, FILE *out, FILE *err)
{
    const char *program = argc > 0 && argv[0] ? argv[0] : "burlfs";
    if (argc < 2) {
        usage(program, err);
        return usage_status;
    }
    bool options_ended = false;
    int positional = 0;
    for (int i = 1; i < argc;) {
        const char *arg = argv[i];
        int next = i + 1;
        if (!options_ended && arg[0] == '-' && arg[1] != '\0') {
            int status = -1;
            if (strcmp(arg, "--") == 0)
                options_ended = true;
            else if (arg[1] == '-')
                status = long_option(program, arg, cl, out, err);
            else
                status = letter_options(program, arg, argc, argv, next, cl, out, err);
            if (status >= 0)
                return status;
        } else if (positional == 0) {
            cl.nbt_file = arg;
            positional++;
        } else if (positional == 1) {
            cl.mount_point = arg;
            positional++;
        } else {
            usage(program, err);
            return usage_status;
        }
        i = next;
    }
    if (positional < 2) {
        usage(program, err);
        return usage_status;
    }
    return -1;
}

} // namespace

int scan_command_line(int argc, char *const *argv, command_line &cl, FILE *out, FILE *err)
{
    try {
        return scan(argc, argv, cl, out, err);
    } catch (const std::bad_alloc &) {
        out_of_memory("realloc", err);
        return 1;
    }
}

std::vector<std::string> fuse_argument_vector(const command_line &cl)
{
    std::vector<std::string> v;
    v.push_back(cl.nbt_file);
    // List items are named by position, so a name means another node as soon
    // as an item before it goes or moves, and a value's size changes with its
    // text. Names and attributes cached by the kernel would go stale: reads
    // cut to an old size, and libfuse's own table of names, kept in step with
    // the kernel's, ends up locking one node twice in a rename and hangs.
    // Placed first, so that options given on the command line still win.
    v.push_back("-o");
    v.push_back("entry_timeout=0,attr_timeout=0");
    v.insert(v.end(), cl.fuse_options.begin(), cl.fuse_options.end());
    if (cl.settings.read_only) {
        v.push_back("-o");
        v.push_back("ro");
    }
    v.push_back(cl.mount_point);
    return v;
}
