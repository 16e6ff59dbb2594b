#include "shell_cases.h"

#include "tree_builder.h"
#include "tree_text.h"

namespace mt {

void PrintTo(const shell_case &c, std::ostream *os) { *os << c.name; }

void mount_cases(const shell_case *begin, const shell_case *end)
{
    tb::tree_ptr tree(tb::compound("", {}));
    for (const shell_case *c = begin; c != end; c++)
        tb::append(tree.get(), c->node(c->name));
    SharedMount::mount_shared(nbt_file(tree.get()), {});
}

void check_saved_cases(const shell_case *begin, const shell_case *end)
{
    if (!SharedMount::fs)
        return;
    std::vector<uint8_t> bytes;
    SharedMount::unmount_shared({}, &bytes);
    tb::tree_ptr saved(parse_saved(bytes));
    ASSERT_TRUE(saved) << nbt_error_to_string(nbt_status(errno));
    for (const shell_case *c = begin; c != end; c++) {
        nbt_node *n = nbt_find_by_name(saved.get(), c->name);
        ASSERT_TRUE(n) << c->name;
        EXPECT_EQ(tree_text(n), c->saved) << c->name;
    }
}

void run_case(const shell_case &c)
{
    std::string node = SharedMount::fs->at(c.name);
    proc::result r = tool({"bash", "-c", substitute(c.command, node)});
    EXPECT_EQ(r.status, c.status) << r.err;
    if (*c.error) {
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    } else if (c.status == 0) {
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(tool({"bash", "-c", substitute(c.check, node)}).out, c.shown);
}

} // namespace mt
