// The arguments that mount(8) hands the helper of the file-system type "nbt",
// turned into a command line that burlfs accepts.
//
// mount(8) runs: mount.nbt SOURCE TARGET [-s] [-f] [-n] [-v] [-o OPTIONS]
// [-t TYPE] [-N NAMESPACE]. burlfs would refuse or misread some of these, so
// the helper translates them:
// - -s (sloppy) is dropped: burlfs has no such option.
// - -f (fake) mounts nothing: the helper succeeds without running burlfs
//   (burlfs would read -f as "stay in the foreground" and really mount).
// - -N NAMESPACE is carried out by the helper, which enters that mount
//   namespace before running burlfs.
// - The options that belong to mount(8) itself (nofail, user, users, owner,
//   group, _netdev, defaults, auto, noauto, nouser, x-*, X-*, comment=) are
//   removed; libfuse would refuse them.
// - Double quotes around option values are removed; a value that holds a
//   comma cannot be passed on (burlfs splits its options at every comma) and
//   is refused, as is "remount", which a FUSE file system cannot do.
// - fsname=SOURCE and subtype=nbt are added (unless given), so that the mount
//   table names the file and the type "fuse.nbt".
// - -n, -v, -t and the other options are handed on; the source and the target
//   follow "--", so that no name is taken for an option.
#pragma once

#include <string>
#include <vector>

namespace mount_nbt {

enum class action {
    run,    // run burlfs with args, after entering the namespace ns if set
    fake,   // succeed without mounting
    help,   // print the usage line and succeed
    refuse, // print message and the usage line, and fail
};

struct plan {
    action what = action::refuse;
    std::vector<std::string> args; // burlfs's arguments after the program name
    std::string ns;                // mount namespace to enter, or empty
    std::string message;           // why the arguments were refused
};

// The plan for the helper's arguments (without the program name).
plan translate(const std::vector<std::string> &argv);

// The option list that burlfs receives, from the -o lists mount(8) gave;
// sets message and returns false when an item cannot be passed on.
bool filter_options(const std::string &list, std::vector<std::string> &kept,
                    std::string &message);

// mount(8)'s exit status for burlfs's wait status: 0 for success, 1 for an
// invocation that burlfs refused (status 255), 32 for any other failure.
int exit_status(int wait_status) noexcept;

inline constexpr int exit_usage = 1;
inline constexpr int exit_failure = 32;

inline constexpr const char *usage =
    "Usage: %s <nbt-file> <mount-point> [-sfnv] [-o <options>] [-t nbt] [-N <namespace>]\n";

} // namespace mount_nbt
