// The helper's translation of what mount(8) hands it into burlfs's command
// line: one table of argument vectors with the plan they give.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "mount_args.h"

namespace {

using mount_nbt::action;
using strings = std::vector<std::string>;

struct args_case {
    const char *name;
    strings argv;
    action what;
    strings args;         // for action::run
    std::string ns;       // for action::run
    std::string message;  // a part of the message, for action::refuse
};

void PrintTo(const args_case &c, std::ostream *os) { *os << c.name; }

const strings names = {"-o", "fsname=/d/x.nbt,subtype=nbt"};

strings operator+(strings a, const strings &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const strings tail = {"--", "/d/x.nbt", "/mnt"};

std::vector<args_case> cases()
{
    return {
        {"plain", {"/d/x.nbt", "/mnt", "-o", "rw"}, action::run,
         strings{"-o", "rw"} + names + tail, "", ""},
        {"read_only_region", {"/d/x.nbt", "/mnt", "-o", "ro,region"}, action::run,
         strings{"-o", "ro,region"} + names + tail, "", ""},
        {"no_options", {"/d/x.nbt", "/mnt"}, action::run, names + tail, "", ""},
        {"all_burlfs_options",
         {"/d/x.nbt", "/mnt", "-o",
          "rw,typeprefix,region,umask=022,writefile=/w,compression=zlib,chunksymlink=visible,"
          "arraybyteorder=big,allow_other"},
         action::run,
         strings{"-o", "rw,typeprefix,region,umask=022,writefile=/w,compression=zlib,"
                       "chunksymlink=visible,arraybyteorder=big,allow_other"} +
             names + tail,
         "", ""},
        {"mount_only_options_removed",
         {"/d/x.nbt", "/mnt", "-o",
          "rw,noexec,nosuid,nodev,nofail,user,users,owner,group,_netdev,defaults,auto,noauto,"
          "nouser,x-systemd.automount,X-mount.mkdir,comment=x,typeprefix"},
         action::run, strings{"-o", "rw,noexec,nosuid,nodev,typeprefix"} + names + tail, "", ""},
        {"only_mount_options", {"/d/x.nbt", "/mnt", "-o", "nofail,_netdev"}, action::run,
         names + tail, "", ""},
        {"empty_items_dropped", {"/d/x.nbt", "/mnt", "-o", ",rw,,ro,"}, action::run,
         strings{"-o", "rw,ro"} + names + tail, "", ""},
        {"quotes_removed", {"/d/x.nbt", "/mnt", "-o", "rw,writefile=\"/a b\""}, action::run,
         strings{"-o", "rw,writefile=/a b"} + names + tail, "", ""},
        {"quoted_comma_refused", {"/d/x.nbt", "/mnt", "-o", "rw,writefile=\"/a,b\""},
         action::refuse, {}, "", "comma"},
        {"remount_refused", {"/d/x.nbt", "/mnt", "-o", "ro,remount"}, action::refuse, {}, "",
         "remount"},
        {"verbose_and_nomtab_kept", {"/d/x.nbt", "/mnt", "-n", "-v", "-o", "rw"}, action::run,
         strings{"-n", "-v", "-o", "rw"} + names + tail, "", ""},
        {"sloppy_dropped", {"/d/x.nbt", "/mnt", "-s", "-o", "rw"}, action::run,
         strings{"-o", "rw"} + names + tail, "", ""},
        {"letters_combined", {"/d/x.nbt", "/mnt", "-snv", "-o", "rw"}, action::run,
         strings{"-n", "-v", "-o", "rw"} + names + tail, "", ""},
        {"fake_runs_nothing", {"/d/x.nbt", "/mnt", "-f", "-o", "rw"}, action::fake, {}, "", ""},
        {"fake_among_letters", {"/d/x.nbt", "/mnt", "-sfv", "-o", "rw"}, action::fake, {}, "",
         ""},
        {"type_handed_on", {"/d/x.nbt", "/mnt", "-o", "rw", "-t", "nbt.sub"}, action::run,
         strings{"-o", "rw"} + names + strings{"-t", "nbt.sub"} + tail, "", ""},
        {"namespace_entered", {"x.nbt", "/mnt", "-o", "rw", "-N", "/proc/7/fd/4"}, action::run,
         strings{"-o", "rw", "-o", "fsname=x.nbt,subtype=nbt", "--", "x.nbt", "/mnt"},
         "/proc/7/fd/4", ""},
        {"options_merged", {"/d/x.nbt", "/mnt", "-o", "rw", "-o", "typeprefix"}, action::run,
         strings{"-o", "rw,typeprefix"} + names + tail, "", ""},
        {"own_fsname_kept", {"/d/x.nbt", "/mnt", "-o", "rw,fsname=mine"}, action::run,
         strings{"-o", "rw,fsname=mine", "-o", "subtype=nbt"} + tail, "", ""},
        {"own_subtype_kept", {"/d/x.nbt", "/mnt", "-o", "subtype=x"}, action::run,
         strings{"-o", "subtype=x", "-o", "fsname=/d/x.nbt"} + tail, "", ""},
        {"source_with_comma_not_named", {"/d/a,ro", "/mnt", "-o", "rw"}, action::run,
         strings{"-o", "rw", "-o", "subtype=nbt", "--", "/d/a,ro", "/mnt"}, "", ""},
        {"source_like_an_option", {"--", "-x.nbt", "/mnt"}, action::run,
         strings{"-o", "fsname=-x.nbt,subtype=nbt", "--", "-x.nbt", "/mnt"}, "", ""},
        {"options_before_names", {"-o", "rw", "/d/x.nbt", "/mnt"}, action::run,
         strings{"-o", "rw"} + names + tail, "", ""},
        {"help", {"-h"}, action::help, {}, "", ""},
        {"missing_mount_point", {"/d/x.nbt", "-o", "rw"}, action::refuse, {}, "", "needed"},
        {"third_name", {"/d/x.nbt", "/mnt", "/other"}, action::refuse, {}, "", "too many"},
        {"unknown_letter", {"/d/x.nbt", "/mnt", "-q"}, action::refuse, {}, "", "'-q'"},
        {"unknown_long_option", {"/d/x.nbt", "/mnt", "--fake"}, action::refuse, {}, "",
         "'--fake'"},
        {"option_value_missing", {"/d/x.nbt", "/mnt", "-o"}, action::refuse, {}, "",
         "'-o' requires"},
        {"namespace_value_missing", {"/d/x.nbt", "/mnt", "-N"}, action::refuse, {}, "",
         "'-N' requires"},
    };
}

class Translate : public testing::TestWithParam<args_case> {};

TEST_P(Translate, GivesThePlan)
{
    const args_case &c = GetParam();
    mount_nbt::plan p = mount_nbt::translate(c.argv);
    ASSERT_EQ(static_cast<int>(p.what), static_cast<int>(c.what)) << p.message;
    if (c.what == action::run) {
        EXPECT_EQ(p.args, c.args);
        EXPECT_EQ(p.ns, c.ns);
    }
    if (c.what == action::refuse) {
        EXPECT_NE(p.message.find(c.message), std::string::npos) << p.message;
    }
}

INSTANTIATE_TEST_SUITE_P(MountArgs, Translate, testing::ValuesIn(cases()),
                         [](const auto &info) { return std::string(info.param.name); });

int exited(int code) { return code << 8; } // a wait status as waitpid gives it

TEST(ExitStatus, MapsBurlfsResultsToMountStatuses)
{
    ASSERT_TRUE(WIFEXITED(exited(255)) && WEXITSTATUS(exited(255)) == 255);
    EXPECT_EQ(mount_nbt::exit_status(exited(0)), 0);
    EXPECT_EQ(mount_nbt::exit_status(exited(255)), mount_nbt::exit_usage);
    EXPECT_EQ(mount_nbt::exit_status(exited(1)), mount_nbt::exit_failure);
    EXPECT_EQ(mount_nbt::exit_status(exited(127)), mount_nbt::exit_failure);
    EXPECT_EQ(mount_nbt::exit_status(SIGKILL), mount_nbt::exit_failure); // killed
    ASSERT_FALSE(WIFEXITED(SIGKILL));
}

} // namespace
