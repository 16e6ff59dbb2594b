// Path resolution: every request names a path, resolved afresh from root_node
// into a record. Results are 0 or a negated error number.
#pragma once

#include <string_view>

#include "mount_state.h"

// One step: the entry called name below parent. -ENOENT when there is none,
// -ENOMEM when memory runs out, -EIO when a chunk's data cannot be parsed.
int get_child_node_by_name(fs_node *parent, std::string_view name, record_ptr &out);

// The record a path names, from root_node; "" and "/" give root_node itself.
int lookup_path(std::string_view path, record_ptr &out);

// The directory that holds the last component of path, and that component.
// The parent is root_node or a list, compound or array node (-ENOTDIR
// otherwise).
int lookup_parent(std::string_view path, record_ptr &parent, std::string_view &name);

// Parses all of text as strtol (or strtoul) with base 0 does: leading white
// space, a sign, 0x for hexadecimal and a leading 0 for octal. False when
// not all of it is a number; the unsigned form takes the empty text as 0.
bool parse_whole_number(std::string_view text, long &out);
bool parse_whole_unsigned(std::string_view text, unsigned long &out);
