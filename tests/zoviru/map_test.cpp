// nbt_map: pre-order visits that stop at the first false and may change the
// nodes they visit.
#include <gtest/gtest.h>

#include "treeops_support.h"

namespace {

struct walk {
    std::string_view stop_at;
    std::string seen;
};

bool record(nbt_node *n, void *aux)
{
    auto *w = static_cast<walk *>(aux);
    w->seen += tt::key_of(n) + ' ';
    return !tt::is(n, w->stop_at);
}

struct map_case {
    const char *name;
    std::string_view stop_at;
    bool ran_to_the_end;
    const char *seen;
};

void PrintTo(const map_case &c, std::ostream *os) { *os << c.name; }

const map_case map_cases[] = {
    {"RunsToTheEnd", "", true, "root a c x y l #1 #2 #3 e b "},
    {"StopsAtTheRoot", "root", false, "root "},
    {"StopsAtTheSecondChild", "c", false, "root a c "},
    {"StopsInsideAList", "#2", false, "root a c x y l #1 #2 "},
    {"StopsAtTheLastNode", "b", false, "root a c x y l #1 #2 #3 e b "},
};

class Map : public testing::TestWithParam<map_case> {};

TEST_P(Map, VisitsInPreOrderUntilStopped)
{
    tb::tree_ptr tree(tt::sample());
    walk w{GetParam().stop_at, ""};
    EXPECT_EQ(nbt_map(tree.get(), record, &w), GetParam().ran_to_the_end);
    EXPECT_EQ(w.seen, GetParam().seen);
}

INSTANTIATE_TEST_SUITE_P(Table, Map, testing::ValuesIn(map_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Map, NullTreeRunsToTheEnd)
{
    walk w{"", ""};
    EXPECT_TRUE(nbt_map(nullptr, record, &w));
    EXPECT_EQ(w.seen, "");
}

// Turns the int named a into a compound holding an int named inner.
bool grow(nbt_node *n, void *aux)
{
    static_cast<walk *>(aux)->seen += tt::key_of(n) + ' ';
    if (tt::is(n, "a")) {
        nbt_node *donor = tb::compound(nullptr, {tb::i32("inner", 9)});
        n->type = TAG_COMPOUND;
        n->payload = donor->payload;
        donor->type = TAG_INT;
        nbt_free(donor);
    } else if (n->type == TAG_INT) {
        n->payload.tag_int *= 10;
    }
    return true;
}

TEST(Map, ChildrenAreThoseTheVisitorLeft)
{
    tb::tree_ptr tree(tb::compound("root", {tb::i32("a", 1), tb::i32("b", 2)}));
    walk w;
    EXPECT_TRUE(nbt_map(tree.get(), grow, &w));
    EXPECT_EQ(w.seen, "root a inner b ");
    tb::tree_ptr expected(tb::compound("root", {tb::compound("a", {tb::i32("inner", 90)}), tb::i32("b", 20)}));
    EXPECT_TRUE(tt::same_tree(tree.get(), expected.get()));
}

} // namespace
