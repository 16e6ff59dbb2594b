// Translation of mount(8)'s helper arguments into burlfs's command line.
#include "mount_args.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <sys/wait.h>

namespace mount_nbt {

namespace {

// Options that mount(8) interprets itself and still hands its helpers.
constexpr std::array<std::string_view, 10> mount_only = {
    "defaults", "auto", "noauto", "nofail", "user", "nouser", "users", "owner", "group", "_netdev",
};

bool starts_with(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool is_mount_only(std::string_view item)
{
    return std::find(mount_only.begin(), mount_only.end(), item) != mount_only.end() ||
           starts_with(item, "x-") || starts_with(item, "X-") || starts_with(item, "comment=");
}

// Splits an option list at the commas outside double quotes and removes the
// quotes. Sets quoted_comma when a comma lay inside quotes.
std::vector<std::string> split_options(const std::string &list, std::vector<bool> &quoted_comma)
{
    std::vector<std::string> items(1);
    quoted_comma.assign(1, false);
    bool quoted = false;
    for (char c : list) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            items.emplace_back();
            quoted_comma.push_back(false);
        } else {
            if (c == ',')
                quoted_comma.back() = true;
            items.back() += c;
        }
    }
    return items;
}

bool has_item(const std::vector<std::string> &items, std::string_view prefix)
{
    return std::any_of(items.begin(), items.end(),
                       [&](const std::string &i) { return starts_with(i, prefix); });
}

plan refused(std::string message)
{
    plan p;
    p.what = action::refuse;
    p.message = std::move(message);
    return p;
}

} // namespace

bool filter_options(const std::string &list, std::vector<std::string> &kept, std::string &message)
{
    std::vector<bool> quoted_comma;
    std::vector<std::string> items = split_options(list, quoted_comma);
    for (size_t i = 0; i < items.size(); i++) {
        const std::string &item = items[i];
        if (quoted_comma[i]) {
            message = "option '" + item + "' holds a comma, which burlfs cannot take";
            return false;
        }
        if (item == "remount") {
            message = "remounting is not supported; unmount and mount again";
            return false;
        }
        if (!item.empty() && !is_mount_only(item))
            kept.push_back(item);
    }
    return true;
}

plan translate(const std::vector<std::string> &argv)
{
    std::vector<std::string> positional, options, flags;
    std::string type, ns;
    bool fake = false, help = false, options_ended = false;
    for (size_t i = 0; i < argv.size(); i++) {
        const std::string &arg = argv[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        if (arg == "--help") {
            help = true;
            continue;
        }
        if (arg[1] == '-')
            return refused("invalid option '" + arg + "'");
        for (char letter : std::string_view(arg).substr(1)) {
            switch (letter) {
            case 's': // sloppy: burlfs has nothing to relax
                break;
            case 'f':
                fake = true;
                break;
            case 'n':
            case 'v':
                flags.push_back(std::string("-") + letter);
                break;
            case 'h':
                help = true;
                break;
            case 'o':
            case 't':
            case 'N': {
                if (++i >= argv.size())
                    return refused(std::string("option '-") + letter + "' requires an argument");
                const std::string &value = argv[i];
                if (letter == 'o') {
                    std::string message;
                    if (!filter_options(value, options, message))
                        return refused(message);
                } else if (letter == 't') {
                    type = value;
                } else {
                    ns = value;
                }
                break;
            }
            default:
                return refused(std::string("invalid option '-") + letter + "'");
            }
        }
    }
    plan p;
    if (help) {
        p.what = action::help;
        return p;
    }
    if (positional.size() != 2)
        return refused(positional.size() < 2 ? "the file and the mount point are needed"
                                             : "too many arguments");
    if (fake) {
        p.what = action::fake;
        return p;
    }
    p.what = action::run;
    p.ns = ns;
    p.args = flags;
    auto join = [](const std::vector<std::string> &items) {
        std::string s;
        for (const std::string &i : items)
            s += (s.empty() ? "" : ",") + i;
        return s;
    };
    if (!options.empty()) {
        p.args.push_back("-o");
        p.args.push_back(join(options));
    }
    // Names for the mount table. A source holding a comma or a backslash is
    // left out: burlfs would split it, libfuse would unescape it.
    const std::string &source = positional[0];
    std::vector<std::string> names;
    if (!has_item(options, "fsname=") && source.find_first_of(",\\") == std::string::npos)
        names.push_back("fsname=" + source);
    if (!has_item(options, "subtype="))
        names.push_back("subtype=nbt");
    if (!names.empty()) {
        p.args.push_back("-o");
        p.args.push_back(join(names));
    }
    if (!type.empty()) {
        p.args.push_back("-t");
        p.args.push_back(type);
    }
    p.args.push_back("--");
    p.args.push_back(source);
    p.args.push_back(positional[1]);
    return p;
}

int exit_status(int wait_status) noexcept
{
    if (!WIFEXITED(wait_status))
        return exit_failure;
    switch (WEXITSTATUS(wait_status)) {
    case 0:
        return 0;
    case 255:
        return exit_usage;
    default:
        return exit_failure;
    }
}

} // namespace mount_nbt
