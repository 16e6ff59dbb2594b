// Tables of shell commands run on one shared read-write mount. Each case owns
// one node of the mounted tree, named by the case; after unmount the saved
// file is checked node by node.
#pragma once

#include <functional>
#include <iterator>

#include "mount_test_support.h"

namespace mt {

struct shell_case {
    const char *name;
    std::function<nbt_node *(const char *name)> node; // the case's own node
    const char *command; // bash -c; "@" is the node's path
    int status;
    const char *error;   // expected in the command's messages ("" for none)
    const char *check;   // bash -c whose output is compared afterwards
    std::string shown;
    std::string saved;   // tree_text of the node in the saved file
};

void PrintTo(const shell_case &c, std::ostream *os);

// Mounts a root compound holding every case's node.
void mount_cases(const shell_case *begin, const shell_case *end);
// Unmounts and checks every case's node in the saved file.
void check_saved_cases(const shell_case *begin, const shell_case *end);
// Runs one case on the shared mount.
void run_case(const shell_case &c);

template <auto &Cases> class ShellCases : public SharedMountWith<shell_case> {
protected:
    static void SetUpTestSuite() { mount_cases(std::begin(Cases), std::end(Cases)); }
    static void TearDownTestSuite() { check_saved_cases(std::begin(Cases), std::end(Cases)); }
};

} // namespace mt
