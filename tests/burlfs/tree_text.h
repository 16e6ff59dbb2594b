// A compact one-line text of a tree, for expectations in tables:
// compounds {name=value,...}, lists [value,...] with their element type
// first (list:int32[1,2]), arrays <1,2>, strings 'text', byte arrays #0102.
#pragma once

#include <string>

#include "zoviru.h"

std::string tree_text(const nbt_node *node);
