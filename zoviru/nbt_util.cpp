// Naming of tag types and status codes.
#include <iterator>

#include "zoviru.h"

namespace {

constexpr const char *type_texts[] = {
    "TAG_END",        "TAG_BYTE",   "TAG_SHORT",    "TAG_INT",      "TAG_LONG",
    "TAG_FLOAT",      "TAG_DOUBLE", "TAG_BYTE_ARRAY", "TAG_STRING", "TAG_LIST",
    "TAG_COMPOUND",   "TAG_INT_ARRAY", "TAG_LONG_ARRAY",
};

// Indexed by status + 4.
constexpr const char *status_texts[] = {
    "Fatal zlib error. Corrupt file?",
    "IO Error. Nonexistant/corrupt file?",
    "Out of memory. You should buy some RAM.",
    "NBT tree is corrupt.",
    "No error.",
};

} // namespace

extern "C" const char *nbt_type_to_string(nbt_type type)
{
    unsigned index = static_cast<unsigned>(type);
    return index < std::size(type_texts) ? type_texts[index] : "TAG_UNKNOWN";
}

extern "C" const char *nbt_error_to_string(nbt_status status)
{
    unsigned index = static_cast<unsigned>(status) + 4u;
    return index < std::size(status_texts) ? status_texts[index] : "Unknown error.";
}
