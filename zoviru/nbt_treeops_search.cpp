// Searches of a tree, pre-order: by predicate, by name, by dotted path, and by
// position among the children of a list or compound. The nodes found stay
// owned by the tree; nothing here allocates, fails or touches errno.
#include <cassert>
#include <cstring>
#include <string_view>

#include "tree_walk.h"
#include "zoviru.h"

using zoviru::first_of_children;

namespace {

// The wanted name is aux; NULL finds only unnamed nodes.
bool names_are_equal(const nbt_node *node, void *aux)
{
    assert(node);
    const auto *name = static_cast<const char *>(aux);
    if (!name || !node->name)
        return !name && !node->name;
    return strcmp(name, node->name) == 0;
}

} // namespace

extern "C" nbt_node *nbt_find(nbt_node *tree, nbt_predicate_t filter, void *aux)
{
    if (!tree)
        return nullptr;
    if (filter(tree, aux))
        return tree;
    return first_of_children(tree, [=](nbt_node *child) { return nbt_find(child, filter, aux); });
}

extern "C" nbt_node *nbt_find_by_name(nbt_node *tree, const char *name)
{
    return nbt_find(tree, names_are_equal, const_cast<char *>(name));
}

// Every child that matches a component is tried in turn until the rest of the
// path resolves, so a path may lead through any element of a list.
extern "C" nbt_node *nbt_find_by_path(nbt_node *tree, const char *path)
{
    assert(tree);
    assert(path);
    const char *dot = strchr(path, '.');
    std::string_view component = dot ? std::string_view(path, size_t(dot - path)) : std::string_view(path);
    // An unnamed node matches only the empty component.
    bool matches = tree->name ? component == tree->name : component.empty();
    if (!matches)
        return nullptr;
    if (!dot)
        return tree;
    return first_of_children(tree, [=](nbt_node *child) { return nbt_find_by_path(child, dot + 1); });
}

extern "C" nbt_node *nbt_list_item(nbt_node *list, int32_t n)
{
    if (!list || n < 0)
        return nullptr;
    return first_of_children(list, [&n](nbt_node *child) { return n-- == 0 ? child : nullptr; });
}
