// The process-wide ProductFlags; see product_flags.h.
#include "payload/product_flags.h"

namespace kova::payload {
namespace {

u32 gFlags = 0;

}  // namespace

u32 ProductFlags() { return gFlags; }
void SetProductFlags(u32 flags) { gFlags = flags; }
void AddProductFlags(u32 flags) { gFlags |= flags; }

}  // namespace kova::payload
