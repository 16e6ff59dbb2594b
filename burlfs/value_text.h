// The text forms of numbers, shared by the sizes that attributes report and
// the contents that reading gives.
#pragma once

#include <cstddef>
#include <string_view>

#include "mount_state.h"

// Room for the longest text: "%f" of the largest double has 309 digits
// before the point.
struct number_text {
    char text[384];
    size_t length;
    std::string_view view() const { return {text, length}; }
};

// The text of a TAG_BYTE to TAG_DOUBLE node; false for any other type.
bool format_scalar(const nbt_node *node, number_text &out);

// The text of element index of an int32 or int64 array; false for any other
// type or an index outside the array.
bool format_element(const nbt_node *array, int32_t index, number_text &out);

// The name a ".type" file shows: the element type's name, or "invalid".
std::string_view element_type_text(const fs_node *list_type);
