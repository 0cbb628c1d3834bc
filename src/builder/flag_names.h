// Readable names for the bit sets and codes of an installer: ProductFlags,
// file types, file flags and existing-file modes, excluded systems and
// association flags. The manifest reader turns names into bits, inspect turns
// bits back into names; both use these tables, so the two always agree.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"

namespace kova::builder {

struct NamedValue {
  const char* name;
  u32 value;
  const char* meaning;
};

// Bits of ProductFlags.
std::span<const NamedValue> ProductFlagNames();
// Bits of a file record's flags, without the existing-file mode field.
std::span<const NamedValue> FileFlagNames();
// Values of the existing-file mode field (file flags & 0x0C).
std::span<const NamedValue> ExistingModeNames();
// File record types.
std::span<const NamedValue> FileTypeNames();
// Bits of the excluded-systems mask.
std::span<const NamedValue> SystemNames();
// Bits of an association record's flags.
std::span<const NamedValue> AssociationFlagNames();

inline constexpr u32 kFileFlagDesktop = 0x01;
inline constexpr u32 kFileFlagPrograms = 0x02;
inline constexpr u32 kFileModeMask = 0x0C;
inline constexpr u32 kFileFlagPermanent = 0x20;
inline constexpr u32 kFileFlagUninstallDir = 0x40;

inline constexpr u32 kFileTypeInstallDir = 0;
inline constexpr u32 kFileTypeShared = 1;
inline constexpr u32 kFileTypeFont = 4;
inline constexpr u32 kFileTypeStartup = 5;
inline constexpr u32 kFileTypeSystem = 6;

std::optional<u32> LookupName(std::span<const NamedValue> table, std::string_view name);
// The names of the table's values for an exact value (types, modes), or null.
const char* NameOfValue(std::span<const NamedValue> table, u32 value);
// The names of the bits set in bits, in table order; bits without a name are
// added as one hexadecimal number.
std::vector<std::string> NamesOfBits(std::span<const NamedValue> table, u32 bits);
// The table's names joined by ", ", for error messages that list the choices.
std::string ListNames(std::span<const NamedValue> table);

}  // namespace kova::builder
