#include "mount_test_support.h"

#include <cstdlib>

#include "region_builder.h"

namespace mt {

bool mounted::start(const std::vector<uint8_t> &bytes, const std::vector<std::string> &args, const std::string &name)
{
    std::string file = dir_ / name;
    rb::write_file(file, bytes);
    return start_file(file, args);
}

bool mounted::start_file(const std::string &file, const std::vector<std::string> &args)
{
    file_ = file;
    fs_ = std::make_unique<mf::mount>(BURLFS_PATH, file, dir_ / "mnt", args);
    if (!fs_->start()) {
        fs_.reset();
        return false;
    }
    return true;
}

mf::outcome mounted::finish(int status, const std::vector<std::string> &allowed)
{
    if (!fs_)
        return {};
    mf::outcome o = fs_->finish();
    fs_.reset();
    EXPECT_EQ(o.status, status) << o.log;
    std::vector<std::string> bad = mf::unexpected_lines(o.log, allowed);
    EXPECT_TRUE(bad.empty()) << "unexpected messages:\n" << o.log;
    return o;
}

void SharedMount::mount_shared(const std::vector<uint8_t> &bytes, const std::vector<std::string> &args,
                               const std::string &name)
{
    std::string why;
    if (!mf::fuse_usable(why))
        return;
    fs = std::make_unique<mounted>();
    if (!fs->start(bytes, args, name))
        fs.reset();
}

mf::outcome SharedMount::unmount_shared(const std::vector<std::string> &allowed, std::vector<uint8_t> *saved)
{
    mf::outcome o;
    if (fs) {
        o = fs->finish(0, allowed);
        if (saved)
            *saved = rb::read_file(fs->file());
    }
    fs.reset();
    return o;
}

nbt_node *parse_saved(const std::vector<uint8_t> &bytes) { return nbt_parse_compressed(bytes.data(), bytes.size()); }

void SharedMount::SetUp()
{
    BURL_REQUIRE_MOUNTS();
    ASSERT_TRUE(fs) << "the shared mount did not come up";
}

proc::result tool(const std::vector<std::string> &argv)
{
    return proc::run(argv.at(0), std::vector<std::string>(argv.begin() + 1, argv.end()));
}

proc::result burlfs(const std::vector<std::string> &args)
{
    proc::options o;
    o.argv0 = "burlfs";
    return proc::run(BURLFS_PATH, args, o);
}

std::vector<uint8_t> nbt_file(const nbt_node *tree, nbt_compression c) { return rb::compressed(tree, c); }

void PrintTo(const tool_case &c, std::ostream *os) { *os << c.name; }

std::string substitute(std::string text, const std::string &root)
{
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + root.size()))
        text.replace(at, 1, root);
    return text;
}

void expect_tool(const tool_case &c, const std::string &root)
{
    std::vector<std::string> argv;
    for (const auto &a : c.argv)
        argv.push_back(substitute(a, root));
    proc::result r = tool(argv);
    EXPECT_EQ(r.out, substitute(c.out, root));
    EXPECT_EQ(r.status, c.status) << r.err;
}

} // namespace mt
