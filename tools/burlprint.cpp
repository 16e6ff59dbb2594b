// burlprint: prints the tree of one gzip- or zlib-compressed NBT file as text.
#include <cerrno>
#include <cstdio>

#include "tool_cli.h"
#include "zoviru.h"

int main(int argc, char **argv)
{
    const char *program = tool::program_name(argc, argv, "burlprint");
    const char *path = tool::single_path(argc, argv, program, "Usage: %s <nbt-file>\n");
    if (!path)
        return 255;
    FILE *fp = fopen(path, "rb");
    if (!fp) {
        perror(path);
        return 1;
    }
    nbt_node *tree = nbt_parse_file(fp);
    int load_status = errno;
    fclose(fp);
    if (!tree) {
        fprintf(stderr, "%s: Failed to load '%s', %s\n", program, path,
                nbt_error_to_string(nbt_status(load_status)));
        return 1;
    }
    nbt_status s = nbt_dump_ascii_file(tree, stdout);
    nbt_free(tree);
    if (s != STATUS_OK) {
        // What was printed before the failure stays on standard output.
        fprintf(stderr, "%s: Failed to stringify NBT data from '%s', %s\n", program, path,
                nbt_error_to_string(s));
        return tool::finish_output(program, 1);
    }
    return tool::finish_output(program, 0);
}
