// Every allocation of start-up scanning and of the lookups fails in turn: the
// failure is reported (exit status 1 with its message, or -ENOMEM from an
// operation), nothing crashes and nothing is left allocated.
#include <gtest/gtest.h>

#include <unistd.h>

#include "command_line.h"
#include "chunk_spec.h"
#include "failing_alloc.h"
#include "in_process.h"
#include "temp_dir.h"
#include "mount_fixture.h"
#include "tree_builder.h"

namespace {

// Runs op with each allocation failing in turn; op returns its result, which
// is expected when nothing failed and expected or -ENOMEM otherwise.
template <class Op> void expect_enomem_or(const char *what, int expected, Op op)
{
    long failures = failing_alloc::each_failure(op, [&](bool failed, int result) {
        if (failed)
            EXPECT_TRUE(result == expected || result == -ENOMEM) << what << ": " << result;
        else
            EXPECT_EQ(result, expected) << what;
        EXPECT_EQ(failing_alloc::live(), 0) << what << ": blocks left";
    });
    EXPECT_GE(failures, 1) << what;
}

TEST(AllocFailure, Lookups)
{
    mount_settings s;
    s.use_type_prefix = 1;
    ip::installed_tree t(tb::compound("", {tb::list("l", TAG_INT, {tb::i32(nullptr, 1)}),
                                           tb::compound("c", {tb::str("x", "long enough to need the heap")}),
                                           tb::i32("a_name_too_long_for_a_short_string", 1)}),
                         s);
    // The operations are called directly, so that the test itself allocates
    // nothing while allocations fail.
    const fuse_operations &ops = ip::ops();
    struct stat st;
    expect_enomem_or("type file", 0, [&] { return ops.getattr("/l/.type", &st); });
    expect_enomem_or("nested value", 0, [&] { return ops.getattr("/compound:c/string:x", &st); });
    // The registry of open handles keeps its table once it has one.
    fuse_file_info warm{};
    ASSERT_EQ(ops.open("/l/0", &warm), 0);
    ops.release("/l/0", &warm);
    expect_enomem_or("open and release", 0, [&] {
        fuse_file_info fi{};
        int r = ops.open("/l/0", &fi);
        if (r == 0)
            ops.release("/l/0", &fi);
        return r;
    });
    expect_enomem_or("listing", 0, [&] {
        fuse_file_info fi{};
        int r = ops.opendir("/", &fi);
        if (r == 0) {
            r = ops.readdir("/", nullptr, [](void *, const char *, const struct stat *, off_t) { return 0; }, 0, &fi);
            ops.releasedir("/", &fi);
        }
        return r;
    });
}

TEST(AllocFailure, RegionLookups)
{
    tmp::dir dir;
    tb::tree_ptr chunk(tb::compound("", {tb::i32("v", 5), tb::bytes("b", std::vector<uint8_t>(9000, 1))}));
    rb::write_file((dir / "r.mca"), rb::build({chunk_spec(5, 2, 4, rb::compressed(chunk.get()))}));
    mount_settings s;
    s.read_only = 1;
    ip::installed_region r((dir / "r.mca"), s);
    ASSERT_TRUE(r.ok());
    struct stat st;
    expect_enomem_or("chunk link", 0, [&] { return ip::ops().getattr("/5,1", &st); });
    expect_enomem_or("chunk parse", 0, [&] {
        int result = ip::ops().getattr("/5/v", &st);
        nbt_free(region_chunks[5].tree); // parse again in the next run
        region_chunks[5].tree = nullptr;
        return result;
    });
}

TEST(AllocFailure, CommandLine)
{
    // The messages go to an unbuffered temporary file, made before the
    // allocations are counted.
    FILE *err = tmpfile();
    ASSERT_TRUE(err);
    setvbuf(err, nullptr, _IONBF, 0);
    std::vector<std::string> args{"burlfs", "-f", "-o", "allow_other,debug,ro,writefile=/some/long/path/w.nbt",
                                  "-o", "a,b", "file.nbt", "mount-point-with-a-long-name"};
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    long failures = failing_alloc::each_failure(
        [&] {
            ftruncate(fileno(err), 0);
            rewind(err);
            command_line cl;
            int status = scan_command_line(int(argv.size()), argv.data(), cl, stdout, err);
            if (status != -1)
                return status;
            try {
                return int(fuse_argument_vector(cl).size());
            } catch (const std::bad_alloc &) {
                return -2; // start-up reports this one as "malloc"
            }
        },
        [&](bool failed, int result) {
            char text[256] = {};
            rewind(err);
            size_t n = fread(text, 1, sizeof text - 1, err);
            std::string message(text, n);
            if (!failed) {
                EXPECT_EQ(result, 11);
            } else if (result != -2) {
                EXPECT_EQ(result, 1);
                EXPECT_TRUE(message == "realloc: Cannot allocate memory\n" ||
                            message == "parse_extended_options: realloc: Cannot allocate memory\n")
                    << "\"" << message << "\"";
            }
            EXPECT_EQ(failing_alloc::live(), 0);
        });
    fclose(err);
    EXPECT_GE(failures, 1);
}

} // namespace
