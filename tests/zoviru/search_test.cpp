// Searches by predicate, name, dotted path and position, on one tree. Nodes
// are given by their positions from the root ("2 1 0": third child of the
// root, its second child, that one's first child; "": the root).
#include <gtest/gtest.h>

#include <climits>
#include <functional>
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

using search = std::function<nbt_node *(nbt_node *)>;

search by_path(const char *path)
{
    return [=](nbt_node *n) { return nbt_find_by_path(n, path); };
}

search by_name(const char *name)
{
    return [=](nbt_node *n) { return nbt_find_by_name(n, name); };
}

bool has_type(const nbt_node *n, void *aux) { return n->type == *static_cast<const nbt_type *>(aux); }

search by_type(nbt_type type)
{
    return [=](nbt_node *n) { return nbt_find(n, has_type, const_cast<nbt_type *>(&type)); };
}

search item(int32_t index)
{
    return [=](nbt_node *n) { return nbt_list_item(n, index); };
}

// The search runs on the node at start; found is where it must end (NULL:
// nothing found).
struct search_case {
    const char *name;
    const char *start;
    search run;
    const char *found;
};

void PrintTo(const search_case &c, std::ostream *os) { *os << c.name; }

const search_case search_cases[] = {
    {"Path_EmptyPathIsTheEmptyNamedRoot", "", by_path(""), ""},
    {"Path_ThroughCompoundsPastALongerName", "", by_path(".a.b"), "1 0"},
    {"Path_PastAShorterName", "", by_path(".ab.b"), "0 0"},
    {"Path_NameWithMoreBytes", "", by_path(".abc.b"), nullptr},
    {"Path_FirstComponentIsTheTreeItself", "", by_path("a.b"), nullptr},
    {"Path_TrailingDot", "", by_path(".a."), nullptr},
    {"Path_PastALeaf", "", by_path(".a.b.c"), nullptr},
    {"Path_Container", "", by_path(".l"), "2"},
    {"Path_ListElementMatchesTheEmptyComponent", "", by_path(".l."), "2 0"},
    {"Path_BacktracksThroughTheList", "", by_path(".l..x"), "2 1 0"},
    {"Path_FirstElementIsTakenWhenItResolves", "", by_path(".l..y"), "2 0 0"},
    {"Path_NoElementResolves", "", by_path(".l..z"), nullptr},
    {"Path_ListElementHasNoName", "", by_path(".l.x"), nullptr},
    {"Path_EmptyNamedChild", "", by_path("."), "3"},
    {"Path_PastTheEmptyNamedLeaf", "", by_path(".."), nullptr},
    {"Path_EmptyListHasNoElement", "", by_path(".e."), nullptr},
    {"Path_NamedStartNeedsItsName", "1", by_path(""), nullptr},
    {"Path_NamedStart", "1", by_path("a.b"), "1 0"},
    {"Path_UnnamedStart", "2 1", by_path(""), "2 1"},
    {"Path_UnnamedStartAndChild", "2 1", by_path(".x"), "2 1 0"},
    {"Path_UnnamedStartMatchesNoName", "2 1", by_path("x"), nullptr},
    {"Name_FirstInPreOrder", "", by_name("b"), "0 0"},
    {"Name_EmptyNameIsTheRoot", "", by_name(""), ""},
    {"Name_Exact", "", by_name("a"), "1"},
    {"Name_Container", "", by_name("l"), "2"},
    {"Name_NoSuchName", "", by_name("zz"), nullptr},
    {"Name_NullFindsTheFirstListElement", "", by_name(nullptr), "2 0"},
    {"Name_NullOnANamedTreeWithoutList", "1", by_name(nullptr), nullptr},
    {"Name_NullOnAnUnnamedStart", "2 1", by_name(nullptr), "2 1"},
    {"Find_TheRoot", "", by_type(TAG_COMPOUND), ""},
    {"Find_FirstInPreOrder", "", by_type(TAG_INT), "0 0"},
    {"Find_AfterASubtree", "", by_type(TAG_LIST), "2"},
    {"Find_Nothing", "", by_type(TAG_STRING), nullptr},
    {"Item_ListFirst", "2", item(0), "2 0"},
    {"Item_ListLast", "2", item(2), "2 2"},
    {"Item_ListCount", "2", item(3), nullptr},
    {"Item_MinusOne", "2", item(-1), nullptr},
    {"Item_MostNegative", "2", item(INT32_MIN), nullptr},
    {"Item_CompoundChild", "", item(3), "3"},
    {"Item_CompoundCount", "", item(5), nullptr},
    {"Item_EmptyList", "4", item(0), nullptr},
    {"Item_NotAContainer", "3", item(0), nullptr},
};

class Search : public testing::TestWithParam<search_case> {};

// Searches cannot fail and leave errno alone.
TEST_P(Search, Finds)
{
    const auto &c = GetParam();
    tb::tree_ptr root(tree());
    errno = STATUS_IO;
    nbt_node *result = c.run(at(root.get(), c.start));
    EXPECT_EQ(errno, STATUS_IO);
    nbt_node *expected = at(root.get(), c.found);
    EXPECT_EQ(result, expected) << "found " << (result ? tt::key_of(result) : "nothing") << " instead of "
                                << (expected ? tt::key_of(expected) : "nothing");
}

INSTANTIATE_TEST_SUITE_P(Table, Search, testing::ValuesIn(search_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Search, NullTrees)
{
    EXPECT_EQ(by_type(TAG_INT)(nullptr), nullptr);
    EXPECT_EQ(nbt_find_by_name(nullptr, "a"), nullptr);
    EXPECT_EQ(nbt_find_by_name(nullptr, nullptr), nullptr);
    EXPECT_EQ(nbt_list_item(nullptr, 0), nullptr);
}

} // namespace
