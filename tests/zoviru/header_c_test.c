/* The public header in a strict C11 program that builds and walks a list
 * with the header's own list operations. */
#include <stdlib.h>

#include "zoviru.h"

int main(void)
{
    struct nbt_list sentinel = {NULL, {NULL, NULL}};
    struct nbt_list cells[3];
    int i, seen = 0;
    struct list_head *pos;

    list_init(&sentinel.entry);
    if (!list_is_empty(&sentinel.entry))
        return 1;
    for (i = 0; i < 3; i++)
        list_append(&cells[i].entry, &sentinel.entry);
    list_unlink(&cells[1].entry);
    if (cells[1].entry.prev != NULL || cells[1].entry.next != NULL)
        return 2;
    for (pos = sentinel.entry.next; pos != &sentinel.entry; pos = pos->next) {
        if (list_cell(pos) != &cells[seen == 0 ? 0 : 2])
            return 3;
        seen++;
    }
    if (seen != 2 || sentinel.entry.prev != &cells[2].entry)
        return 4;
    if (nbt_type_to_string(TAG_INT)[4] != 'I' || sizeof(nbt_type) != 4 || (nbt_type)-1 >= 0)
        return 5;
    return 0;
}
