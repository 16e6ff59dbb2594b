// Searches by predicate, name, dotted path and position, on one tree. Nodes
// are given by their positions from the root ("2 1 0": third child of the
// root, its second child, that one's first child; "": the root).
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "treeops_support.h"

namespace {

using tb::compound, tb::i32, tb::list;

// "" {
//   ab { b: 1 }
//   a { b: 2 }
//   l [ { y: 3 }, { x: 4 }, { x: 5 } ]
//   "": 6
//   e [] of strings
// }
nbt_node *tree()
{
    return compound("", {compound("ab", {i32("b", 1)}), compound("a", {i32("b", 2)}),
                         list("l", TAG_COMPOUND,
                              {compound(nullptr, {i32("y", 3)}), compound(nullptr, {i32("x", 4)}),
                               compound(nullptr, {i32("x", 5)})}),
                         i32("", 6), list("e", TAG_STRING)});
}

// The node at the given positions, walked without the functions under test.
nbt_node *at(nbt_node *root, const char *positions)
{
    if (!positions)
        return nullptr;
    std::istringstream in(positions);
    nbt_node *n = root;
    for (int i; in >> i;) {
        struct list_head *pos = n->payload.tag_list->entry.next;
        while (i-- > 0)
            pos = pos->next;
        n = list_cell(pos)->data;
    }
    return n;
}

// The search runs on the node at start; found is where it must end (NULL:
// nothing found). errno must be left alone.
template <class Search> void expect_finds(const char *start, const char *found, Search search)
{
    tb::tree_ptr root(tree());
    errno = STATUS_IO;
    nbt_node *result = search(at(root.get(), start));
    EXPECT_EQ(errno, STATUS_IO);
    nbt_node *expected = at(root.get(), found);
    EXPECT_EQ(result, expected) << "found " << (result ? tt::key_of(result) : "nothing") << " instead of "
                                << (expected ? tt::key_of(expected) : "nothing");
}

struct path_case {
    const char *name;
    const char *start;
    const char *path;
    const char *found;
};

void PrintTo(const path_case &c, std::ostream *os) { *os << c.name; }

const path_case path_cases[] = {
    {"EmptyPathIsTheEmptyNamedRoot", "", "", ""},
    {"ThroughCompoundsPastALongerName", "", ".a.b", "1 0"},
    {"SkipsAShorterName", "", ".ab.b", "0 0"},
    {"NameWithMoreBytes", "", ".abc.b", nullptr},
    {"FirstComponentIsTheTreeItself", "", "a.b", nullptr},
    {"TrailingDot", "", ".a.", nullptr},
    {"PastALeaf", "", ".a.b.c", nullptr},
    {"Container", "", ".l", "2"},
    {"ListElementMatchesTheEmptyComponent", "", ".l.", "2 0"},
    {"BacktracksThroughTheList", "", ".l..x", "2 1 0"},
    {"FirstElementIsTakenWhenItResolves", "", ".l..y", "2 0 0"},
    {"NoElementResolves", "", ".l..z", nullptr},
    {"ListElementHasNoName", "", ".l.x", nullptr},
    {"EmptyNamedChild", "", ".", "3"},
    {"PastTheEmptyNamedLeaf", "", "..", nullptr},
    {"EmptyListHasNoElement", "", ".e.", nullptr},
    {"NamedStartNeedsItsName", "1", "", nullptr},
    {"NamedStart", "1", "a.b", "1 0"},
    {"UnnamedStart", "2 1", "", "2 1"},
    {"UnnamedStartAndChild", "2 1", ".x", "2 1 0"},
    {"UnnamedStartMatchesNoName", "2 1", "x", nullptr},
};

class FindByPath : public testing::TestWithParam<path_case> {};

TEST_P(FindByPath, Finds)
{
    const auto &c = GetParam();
    expect_finds(c.start, c.found, [&](nbt_node *n) { return nbt_find_by_path(n, c.path); });
}

INSTANTIATE_TEST_SUITE_P(Table, FindByPath, testing::ValuesIn(path_cases),
                         [](const auto &info) { return std::string(info.param.name); });

struct name_case {
    const char *name;
    const char *start;
    const char *wanted;
    const char *found;
};

void PrintTo(const name_case &c, std::ostream *os) { *os << c.name; }

const name_case name_cases[] = {
    {"FirstInPreOrder", "", "b", "0 0"},
    {"EmptyNameIsTheRoot", "", "", ""},
    {"ExactName", "", "a", "1"},
    {"Container", "", "l", "2"},
    {"NoSuchName", "", "zz", nullptr},
    {"NullNameFindsTheFirstListElement", "", nullptr, "2 0"},
    {"NullNameOnANamedTreeWithoutList", "1", nullptr, nullptr},
    {"NullNameOnAnUnnamedStart", "2 1", nullptr, "2 1"},
};

class FindByName : public testing::TestWithParam<name_case> {};

TEST_P(FindByName, Finds)
{
    const auto &c = GetParam();
    expect_finds(c.start, c.found, [&](nbt_node *n) { return nbt_find_by_name(n, c.wanted); });
}

INSTANTIATE_TEST_SUITE_P(Table, FindByName, testing::ValuesIn(name_cases),
                         [](const auto &info) { return std::string(info.param.name); });

bool has_type(const nbt_node *n, void *aux) { return n->type == *static_cast<nbt_type *>(aux); }

struct find_case {
    const char *name;
    nbt_type type;
    const char *found;
};

void PrintTo(const find_case &c, std::ostream *os) { *os << c.name; }

const find_case find_cases[] = {
    {"TheRoot", TAG_COMPOUND, ""},
    {"FirstInPreOrder", TAG_INT, "0 0"},
    {"AfterASubtree", TAG_LIST, "2"},
    {"Nothing", TAG_STRING, nullptr},
};

class Find : public testing::TestWithParam<find_case> {};

TEST_P(Find, Finds)
{
    nbt_type type = GetParam().type;
    expect_finds("", GetParam().found, [&](nbt_node *n) { return nbt_find(n, has_type, &type); });
}

INSTANTIATE_TEST_SUITE_P(Table, Find, testing::ValuesIn(find_cases),
                         [](const auto &info) { return std::string(info.param.name); });

struct item_case {
    const char *name;
    const char *parent;
    int32_t index;
    const char *found;
};

void PrintTo(const item_case &c, std::ostream *os) { *os << c.name; }

const item_case item_cases[] = {
    {"ListFirst", "2", 0, "2 0"},
    {"ListLast", "2", 2, "2 2"},
    {"ListCount", "2", 3, nullptr},
    {"MinusOne", "2", -1, nullptr},
    {"MostNegative", "2", INT32_MIN, nullptr},
    {"CompoundChild", "", 3, "3"},
    {"CompoundCount", "", 5, nullptr},
    {"EmptyList", "4", 0, nullptr},
    {"NotAContainer", "3", 0, nullptr},
};

class ListItem : public testing::TestWithParam<item_case> {};

TEST_P(ListItem, Finds)
{
    const auto &c = GetParam();
    expect_finds(c.parent, c.found, [&](nbt_node *n) { return nbt_list_item(n, c.index); });
}

INSTANTIATE_TEST_SUITE_P(Table, ListItem, testing::ValuesIn(item_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Search, NullTrees)
{
    nbt_type type = TAG_INT;
    EXPECT_EQ(nbt_find(nullptr, has_type, &type), nullptr);
    EXPECT_EQ(nbt_find_by_name(nullptr, "a"), nullptr);
    EXPECT_EQ(nbt_find_by_name(nullptr, nullptr), nullptr);
    EXPECT_EQ(nbt_list_item(nullptr, 0), nullptr);
}

} // namespace
