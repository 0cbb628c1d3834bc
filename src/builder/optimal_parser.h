// The best encoder level: the cheapest token sequence by exact bit costs.
#pragma once

#include "builder/token_writer.h"
#include "core/types.h"

namespace kova::builder {

// Writes the tokens of data[0, size) (no header).
void OptimalParse(const u8* data, u32 size, TokenWriter& out);

}  // namespace kova::builder
