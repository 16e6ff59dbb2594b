#include "type_names.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::string_view, 13> type_names = {
    "", "int8", "int16", "int32", "int64", "float32", "float64",
    "int8array", "string", "list", "compound", "int32array", "int64array",
};

constexpr std::pair<std::string_view, nbt_type> aliases[] = {
    {"byte", TAG_BYTE}, {"float", TAG_FLOAT}, {"single", TAG_FLOAT},
    {"double", TAG_DOUBLE}, {"bytearray", TAG_BYTE_ARRAY},
};

} // namespace

std::string_view type_name(int type)
{
    if (type < 1 || type >= int(type_names.size()))
        return {};
    return type_names[size_t(type)];
}

nbt_type type_from_name(std::string_view name)
{
    if (name.empty())
        return TAG_INVALID;
    for (size_t t = 1; t < type_names.size(); t++)
        if (type_names[t] == name)
            return nbt_type(t);
    for (const auto &[alias, type] : aliases)
        if (alias == name)
            return type;
    return TAG_INVALID;
}
