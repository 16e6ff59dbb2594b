// burlseed: creates a new NBT file holding an empty root compound.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "burl_version.h"
#include "tool_cli.h"
#include "zoviru.h"

namespace {

void usage(const char *program)
{
    fprintf(stderr, "Usage: %s [-C {gzip|zlib}] [-L <root-node-name>] [-v] <path>\n", program);
}

struct settings {
    nbt_compression compression = COMPRESSION_GZIP;
    const char *root_name = "";
    bool verbose = false;
};

// Reads the options; returns -1 to go on, or the exit status.
int read_options(int argc, char **argv, const char *program, settings &s)
{
    // "+": the first argument that is not an option ends the options, and
    // nothing is reordered.
    int opt;
    while ((opt = getopt(argc, argv, "+C:L:N:vhV")) != -1) {
        switch (opt) {
        case 'C':
            if (strcmp(optarg, "gzip") == 0) {
                s.compression = COMPRESSION_GZIP;
            } else if (strcmp(optarg, "zlib") == 0) {
                s.compression = COMPRESSION_ZLIB;
            } else {
                fprintf(stderr, "%s: Compression type %s is not supported\n", program, optarg);
                return 255;
            }
            break;
        case 'L':
        case 'N':
            s.root_name = optarg;
            break;
        case 'v':
            s.verbose = true;
            break;
        case 'h':
            usage(program);
            return 0;
        case 'V':
            printf("burlseed %s\n", BURL_VERSION);
            return tool::finish_output(program, 0);
        default: // getopt has said what is wrong
            usage(program);
            return 255;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    const char *program = tool::program_name(argc, argv, "burlseed");
    settings s;
    if (int status = read_options(argc, argv, program, s); status >= 0)
        return status;
    if (argc - optind != 1) {
        usage(program);
        return 255;
    }
    const char *path = argv[optind];

    // The root lives here; only its sentinel cell is allocated.
    nbt_node root{};
    root.type = TAG_COMPOUND;
    root.name = const_cast<char *>(s.root_name);
    auto *sentinel = static_cast<struct nbt_list *>(malloc(sizeof(struct nbt_list)));
    if (!sentinel) {
        fprintf(stderr, "%s: Out of memory\n", program);
        return 1;
    }
    sentinel->data = nullptr;
    list_init(&sentinel->entry);
    root.payload.tag_compound = sentinel;

    FILE *fp = fopen(path, "wb");
    if (!fp) {
        perror(path);
        free(sentinel);
        return 1;
    }
    if (s.verbose) {
        if (char *text = nbt_dump_ascii(&root)) {
            fprintf(stderr, "%s: Writing following NBT tree into '%s':\n\n%s\n", program, path, text);
            free(text);
        } else {
            fprintf(stderr, "%s: nbt_dump_ascii: %s\n", program, nbt_error_to_string(nbt_status(errno)));
        }
    }
    nbt_status status = nbt_dump_file(&root, fp, s.compression);
    free(sentinel);
    if (status != STATUS_OK) {
        fprintf(stderr, "%s: Failed to save NBT to %s, %s\n", program, path, nbt_error_to_string(status));
        fclose(fp);
        return 1;
    }
    if (fclose(fp) != 0) {
        perror("fclose");
        return 1;
    }
    return 0;
}
