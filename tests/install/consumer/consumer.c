/* A program of the library's users, built against the installed tree:
 * consumer IN OUT raises the integer "count" in the root compound of the NBT
 * file IN by one, writes the tree gzip-compressed to OUT, reads OUT back and
 * prints the count and the number of nodes it finds there. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <zoviru.h>

static nbt_node *child(nbt_node *compound, const char *name)
{
    struct list_head *pos;
    struct nbt_list *children = compound->payload.tag_compound;
    for (pos = children->entry.next; pos != &children->entry; pos = pos->next) {
        nbt_node *n = list_cell(pos)->data;
        if (n->name && strcmp(n->name, name) == 0)
            return n;
    }
    return NULL;
}

static nbt_node *load(const char *path)
{
    nbt_node *tree = nbt_parse_path(path);
    if (!tree)
        fprintf(stderr, "consumer: %s: %s\n", path, nbt_error_to_string((nbt_status)errno));
    else if (tree->type != TAG_COMPOUND || !child(tree, "count") ||
             child(tree, "count")->type != TAG_INT) {
        fprintf(stderr, "consumer: %s: no integer named count\n", path);
        nbt_free(tree);
        tree = NULL;
    }
    return tree;
}

int main(int argc, char **argv)
{
    nbt_node *tree;
    FILE *out;
    nbt_status status;

    if (argc != 3) {
        fprintf(stderr, "usage: %s IN OUT\n", argv[0]);
        return 2;
    }
    if (!(tree = load(argv[1])))
        return 1;
    child(tree, "count")->payload.tag_int++;
    out = fopen(argv[2], "wb");
    if (!out) {
        perror(argv[2]);
        nbt_free(tree);
        return 1;
    }
    status = nbt_dump_file(tree, out, COMPRESSION_GZIP);
    nbt_free(tree);
    if (fclose(out) != 0 && status == STATUS_OK)
        status = STATUS_IO;
    if (status != STATUS_OK) {
        fprintf(stderr, "consumer: %s: %s\n", argv[2], nbt_error_to_string(status));
        return 1;
    }
    if (!(tree = load(argv[2])))
        return 1;
    printf("count %d nodes %llu\n", (int)child(tree, "count")->payload.tag_int,
           (unsigned long long)nbt_size(tree));
    nbt_free(tree);
    return 0;
}
