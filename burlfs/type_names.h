// The names of tag types in entry names and ".type" files.
#pragma once

#include <string_view>

#include "zoviru.h"

// The canonical name of a tag type; empty for TAG_END and unknown values.
std::string_view type_name(int type);

// The type a name (canonical or alias) stands for; TAG_INVALID for any other
// text. The match is exact and case-sensitive.
nbt_type type_from_name(std::string_view name);
