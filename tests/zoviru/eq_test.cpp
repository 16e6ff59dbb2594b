// nbt_eq: one table of pairs and the expected answer.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "tree_builder.h"

namespace {

using tb::bytes, tb::compound, tb::f32, tb::f64, tb::i16, tb::i32, tb::i64, tb::i8, tb::ints, tb::list,
    tb::longs, tb::str;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct eq_case {
    const char *name;
    nbt_node *(*left)();
    nbt_node *(*right)();
    bool equal;
};

void PrintTo(const eq_case &c, std::ostream *os) { *os << c.name; }

const eq_case eq_cases[] = {
    {"SameInt", [] { return i32("a", 1); }, [] { return i32("a", 1); }, true},
    {"IntValues", [] { return i32("a", 1); }, [] { return i32("a", 2); }, false},
    {"Names", [] { return i32("a", 1); }, [] { return i32("b", 1); }, false},
    {"NameIsAPrefix", [] { return i32("a", 1); }, [] { return i32("ab", 1); }, false},
    {"UnnamedAndEmptyName", [] { return i32(nullptr, 1); }, [] { return i32("", 1); }, false},
    {"EmptyNameAndUnnamed", [] { return i32("", 1); }, [] { return i32(nullptr, 1); }, false},
    {"BothUnnamed", [] { return i32(nullptr, 1); }, [] { return i32(nullptr, 1); }, true},
    {"TypesWithTheSameValue", [] { return i32("a", 1); }, [] { return i64("a", 1); }, false},
    {"Bytes", [] { return i8("a", -1); }, [] { return i8("a", 1); }, false},
    {"Shorts", [] { return i16("a", 300); }, [] { return i16("a", 300); }, true},
    {"LongsInTheHighBits", [] { return i64("a", 1ll << 40); }, [] { return i64("a", 1ll << 41); }, false},
    {"FloatWithinTolerance", [] { return f32("f", 1.0f); }, [] { return f32("f", 1.0000005f); }, true},
    {"FloatBeyondTolerance", [] { return f32("f", 1.0f); }, [] { return f32("f", 1.00001f); }, false},
    {"FloatInfinities", [] { return f32("f", INFINITY); }, [] { return f32("f", INFINITY); }, true},
    {"FloatNaNOnTheLeft", [] { return f32("f", NAN); }, [] { return f32("f", 5.0f); }, true},
    {"FloatNaNOnTheRight", [] { return f32("f", 5.0f); }, [] { return f32("f", NAN); }, false},
    {"DoubleToleranceIsAbsolute", [] { return f64("d", 1e-7); }, [] { return f64("d", 9e-7); }, true},
    {"DoubleBeyondTolerance", [] { return f64("d", 0.0); }, [] { return f64("d", 2e-6); }, false},
    {"DoubleAtTheTolerance", [] { return f64("d", 0.0); }, [] { return f64("d", 1e-6); }, true},
    {"DoubleAtTheToleranceSwapped", [] { return f64("d", 1e-6); }, [] { return f64("d", 0.0); }, true},
    {"DoubleJustBeyond", [] { return f64("d", 0.0); }, [] { return f64("d", std::nextafter(1e-6, 1.0)); }, false},
    {"DoubleJustBeyondSwapped", [] { return f64("d", std::nextafter(1e-6, 1.0)); }, [] { return f64("d", 0.0); }, false},
    {"LargeDoublesOneStepApart", [] { return f64("d", 1e12); }, [] { return f64("d", std::nextafter(1e12, inf)); }, false},
    {"DoubleInfinities", [] { return f64("d", inf); }, [] { return f64("d", inf); }, true},
    {"NegativeInfinities", [] { return f64("d", -inf); }, [] { return f64("d", -inf); }, true},
    {"InfinityAndLargestDouble", [] { return f64("d", inf); }, [] { return f64("d", DBL_MAX); }, false},
    {"LargestDoubleAndInfinity", [] { return f64("d", DBL_MAX); }, [] { return f64("d", inf); }, false},
    {"DoubleNaNOnTheLeft", [] { return f64("d", nan); }, [] { return f64("d", -3.5); }, true},
    {"DoubleNaNOnTheRight", [] { return f64("d", -3.5); }, [] { return f64("d", nan); }, false},
    {"DoubleNaNOnBothSides", [] { return f64("d", nan); }, [] { return f64("d", nan); }, false},
    {"FloatAndDoubleOfOneValue", [] { return f32("f", 1.0f); }, [] { return f64("f", 1.0); }, false},
    {"Strings", [] { return str("s", "abc"); }, [] { return str("s", "abc"); }, true},
    {"StringIsAPrefix", [] { return str("s", "ab"); }, [] { return str("s", "abc"); }, false},
    {"ByteArrays", [] { return bytes("b", {1, 2, 3}); }, [] { return bytes("b", {1, 2, 3}); }, true},
    {"ByteArrayLengths", [] { return bytes("b", {1, 2, 3}); }, [] { return bytes("b", {1, 2, 3, 4}); }, false},
    {"ByteArrayLengthsSwapped", [] { return bytes("b", {1, 2, 3, 4}); }, [] { return bytes("b", {1, 2, 3}); }, false},
    {"ByteArrayLastByte", [] { return bytes("b", {1, 2, 3}); }, [] { return bytes("b", {1, 2, 4}); }, false},
    {"EmptyArrayStorageIsNotRead",
     [] { auto *n = bytes("b", {7}); n->payload.tag_byte_array.length = 0; return n; },
     [] { return bytes("b", {}); }, true},
    {"IntArrayLastElement", [] { return ints("i", {1, 1 << 20}); }, [] { return ints("i", {1, 1 << 21}); }, false},
    {"IntArrayLengths", [] { return ints("i", {1}); }, [] { return ints("i", {1, 0}); }, false},
    {"LongArrays", [] { return longs("l", {-1, 1ll << 50}); }, [] { return longs("l", {-1, 1ll << 50}); }, true},
    {"LongArrayHighBits", [] { return longs("l", {1ll << 50}); }, [] { return longs("l", {1ll << 51}); }, false},
    {"Compounds", [] { return compound("c", {i32("a", 1), str("b", "x")}); },
     [] { return compound("c", {i32("a", 1), str("b", "x")}); }, true},
    {"CompoundInAnotherOrder", [] { return compound("c", {i32("a", 1), str("b", "x")}); },
     [] { return compound("c", {str("b", "x"), i32("a", 1)}); }, false},
    {"DeepDifference", [] { return compound("c", {compound("d", {list("l", TAG_INT, {i32(nullptr, 1)})})}); },
     [] { return compound("c", {compound("d", {list("l", TAG_INT, {i32(nullptr, 2)})})}); }, false},
    {"ListAndItsPrefix", [] { return list("l", TAG_INT, {i32(nullptr, 1), i32(nullptr, 2)}); },
     [] { return list("l", TAG_INT, {i32(nullptr, 1)}); }, false},
    {"PrefixAndItsList", [] { return list("l", TAG_INT, {i32(nullptr, 1)}); },
     [] { return list("l", TAG_INT, {i32(nullptr, 1), i32(nullptr, 2)}); }, false},
    {"EmptyAndNonEmptyList", [] { return list("l", TAG_INT); }, [] { return list("l", TAG_INT, {i32(nullptr, 1)}); }, false},
    {"EmptyListsOfOtherElementTypes", [] { return list("l", TAG_INT); }, [] { return list("l", TAG_STRING); }, true},
    {"ListAndCompound", [] { return list("l", TAG_INT); }, [] { return compound("l"); }, false},
    {"TagEndNodes", [] { return tb::node(TAG_END, "e"); }, [] { return tb::node(TAG_END, "e"); }, false},
    {"UnknownTypes", [] { return tb::node(nbt_type(13), "u"); }, [] { return tb::node(nbt_type(13), "u"); }, false},
    {"TagEndInsideCompounds", [] { return compound("c", {tb::node(TAG_END, nullptr)}); },
     [] { return compound("c", {tb::node(TAG_END, nullptr)}); }, false},
};

class Eq : public testing::TestWithParam<eq_case> {};

TEST_P(Eq, Answers)
{
    tb::tree_ptr left(GetParam().left()), right(GetParam().right());
    EXPECT_EQ(nbt_eq(left.get(), right.get()), GetParam().equal);
}

INSTANTIATE_TEST_SUITE_P(Table, Eq, testing::ValuesIn(eq_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Eq, TreeAndItself)
{
    tb::tree_ptr tree(compound("r", {i32("a", 1), list("l", TAG_STRING, {str(nullptr, "s")}), f64("d", 0.5)}));
    EXPECT_TRUE(nbt_eq(tree.get(), tree.get()));
    nbt_node on_stack{TAG_INT, nullptr, {}};
    EXPECT_TRUE(nbt_eq(&on_stack, &on_stack));
    tb::tree_ptr end(tb::node(TAG_END, nullptr));
    EXPECT_FALSE(nbt_eq(end.get(), end.get()));
}

} // namespace
