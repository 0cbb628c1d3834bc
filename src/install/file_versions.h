// Whether an installed file is older than the one in the archive: by its
// last-write stamp, and for system files also by the version text of its
// version resource.
#pragma once

#include "core/string.h"
#include "format/file_stamp.h"

namespace kova::install {

// Field by field in the order year, month, day, hour, minute, second; the
// first difference decides: below 0 when a is earlier, 0 when equal.
i32 CompareStamps(const format::FileStamp& a, const format::FileStamp& b);

// True when stamp is not set, when the file's last-write time cannot be read,
// or when that time (local, whole seconds) is before stamp.
bool IsOlderThan(const char* path, const format::FileStamp& stamp);

// The key of the version text in a file's version resource.
inline constexpr const char* kFileVersionKey = "\\StringFileInfo\\040904E4\\FileVersion";

// The file's version text, upper-cased (ASCII) with each dot-separated part
// padded on the left with zeros to 10 characters; empty when the file has
// none.
core::String FileVersion(const char* path);
// The same treatment of a version text.
core::String NormalizeVersionText(const char* text);

// Above 0 when a is the newer version. Each text becomes a list of numbers
// and a letter: digit runs are numbers, a '.' while the list is empty adds
// a 0, a letter ends a number and is remembered (the last one counts), any
// other character only ends a number. The first differing number decides
// (a - b); a list that runs out first is older; equal lists are decided by
// the letters (none counts as 0). Letters are compared upper-cased, as
// FileVersion gives them.
i32 CompareVersions(const char* a, const char* b);

}  // namespace kova::install
