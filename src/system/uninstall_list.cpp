// The uninstall list; see uninstall_list.h.
#include "system/uninstall_list.h"

#include <cstring>

#include "core/array.h"
#include "core/lasting.h"

namespace kova::system {
namespace {

// The recorded directories and keys, upper-cased, in a hash set: an
// installation of many files asks once per file, so a linear search would
// grow with the square of the count.
class PathSet {
 public:
  // Adds path; false when it was there already.
  bool Add(const core::String& path) {
    if ((entries_.Size() + 1) * 2 > buckets_.Size()) Grow();
    u32 slot = Find(path);
    if (buckets_[static_cast<i32>(slot)] >= 0) return false;
    buckets_[static_cast<i32>(slot)] = entries_.Size();
    entries_.Append(path);
    return true;
  }
  void Clear() {
    entries_.Clear();
    buckets_.Clear();
  }

 private:
  static u32 Hash(const core::String& text) {
    u32 hash = 2166136261u;  // FNV-1a
    for (i32 i = 0; i < text.Length(); ++i) hash = (hash ^ static_cast<u8>(text[i])) * 16777619u;
    return hash;
  }
  // The bucket holding path, or the empty one where it would go.
  u32 Find(const core::String& path) const {
    auto mask = static_cast<u32>(buckets_.Size() - 1);
    u32 slot = Hash(path) & mask;
    while (buckets_[static_cast<i32>(slot)] >= 0 && !(entries_[buckets_[static_cast<i32>(slot)]] == path))
      slot = (slot + 1) & mask;
    return slot;
  }
  void Grow() {
    i32 size = buckets_.Size() < 16 ? 16 : buckets_.Size() * 2;
    buckets_.Clear();
    buckets_.Reserve(size);
    for (i32 i = 0; i < size; ++i) buckets_.Append(-1);
    for (i32 i = 0; i < entries_.Size(); ++i) buckets_[static_cast<i32>(Find(entries_[i]))] = i;
  }

  core::Array<core::String> entries_;
  core::Array<i32> buckets_;  // index into entries_, -1 when empty; size a power of two
};

struct UninstallList {
  core::String text;
  PathSet recorded;
};

UninstallList& List() {
  static core::Lasting<UninstallList> list;
  return list.Get();
}

}  // namespace

void AddUninstallEntry(const char* path, i32 kind) {
  if (!path || std::strlen(path) <= 3 || std::strpbrk(path, "\r\n")) return;
  UninstallList& list = List();
  if (kind == kUninstallDirectory || kind == kUninstallClassesKey) {
    core::String upper(path);
    upper.ToUpper();
    if (!list.recorded.Add(upper)) return;
    list.text += kind == kUninstallDirectory ? '~' : '!';
  }
  list.text += path;
  list.text += "\r\n";
}

void ClearUninstallList() {
  List().text.Clear();
  List().recorded.Clear();
}

const core::String& UninstallListText() { return List().text; }

}  // namespace kova::system
