// What the sandbox remembers of folders; see folder_cache.h.
#include "platform/posix/folder_cache.h"

#include <dirent.h>

#include "core/array.h"
#include "platform/posix/sandbox_paths.h"

namespace kova::platform::posix {
namespace {

// Few folders are busy at once: the one files are being written to, its
// parents, the Windows directory. Beyond these the least recently used goes.
constexpr i32 kFolders = 32;
constexpr i32 kListings = 8;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

u32 FoldedHash(const char* name) {
  u32 hash = 2166136261u;
  for (const char* p = name; *p; ++p) hash = (hash ^ static_cast<u8>(LowerAscii(*p))) * 16777619u;
  return hash;
}

// Paths compared length first: every resolution scans the remembered folders.
bool SamePath(const core::String& a, const core::String& b) { return a.Length() == b.Length() && a == b; }

bool SameFolder(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool SameTimes(const struct stat& a, const struct stat& b) {
  return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

struct Folder {
  core::String windows;
  core::String host;
  struct stat info{};
  u64 used = 0;
};

// The names of one folder with an open-addressed table over their folded
// form; a slot holds 1 + the index of a name, 0 when free.
struct Listing {
  core::String host;
  struct stat info{};
  bool ownChange = false;  // the run changed the folder since info was taken
  core::Array<core::String> names;
  core::Array<i32> slots;
  u64 used = 0;

  i32 Find(const char* name) const {
    if (slots.IsEmpty()) return -1;
    u32 mask = static_cast<u32>(slots.Size() - 1);
    for (u32 at = FoldedHash(name) & mask;; at = (at + 1) & mask) {
      i32 slot = slots[static_cast<i32>(at)];
      if (slot == 0) return -1;
      if (EqualNoCase(names[slot - 1].CStr(), name)) return slot - 1;
    }
  }
  void Place(i32 index) {
    u32 mask = static_cast<u32>(slots.Size() - 1);
    u32 at = FoldedHash(names[index].CStr()) & mask;
    while (slots[static_cast<i32>(at)] != 0) at = (at + 1) & mask;
    slots[static_cast<i32>(at)] = index + 1;
  }
  // Adds a name unless one differing only in case is there (the first one
  // listed is the one a lookup finds).
  void Add(const char* name) {
    if (Find(name) >= 0) return;
    names.Append(core::String(name));
    if (slots.Size() < 2 * names.Size()) {
      i32 size = 16;
      while (size < 4 * names.Size()) size *= 2;
      slots.Clear();
      for (i32 i = 0; i < size; ++i) slots.Append(0);
      for (i32 i = 0; i < names.Size(); ++i) Place(i);
    } else {
      Place(names.Size() - 1);
    }
  }
};

struct Memory {
  core::Array<Folder> folders;
  core::Array<Listing> listings;
  u64 clock = 0;
};

Memory& TheMemory() {
  static Memory memory;
  return memory;
}

// Reads the folder's names into listing; false when it cannot be opened.
bool ReadListing(const core::String& host, Listing& listing) {
  DIR* folder = opendir(host.CStr());
  if (!folder) return false;
  listing.names.Clear();
  listing.slots.Clear();
  while (dirent* entry = readdir(folder)) {
    if (entry->d_name[0] == '.' && (entry->d_name[1] == '\0' || (entry->d_name[1] == '.' && entry->d_name[2] == '\0')))
      continue;
    listing.Add(entry->d_name);
  }
  closedir(folder);
  return true;
}

Listing* ListingOf(const core::String& host) {
  for (Listing& listing : TheMemory().listings)
    if (SamePath(listing.host, host)) return &listing;
  return nullptr;
}

Listing* CurrentListing(const core::String& hostFolder, const struct stat& folderInfo) {
  Listing* listing = ListingOf(hostFolder);
  if (!listing || !SameFolder(listing->info, folderInfo) ||
      !(SameTimes(listing->info, folderInfo) || listing->ownChange))
    return nullptr;
  // The change of times since the listing was read was the run's own.
  listing->info = folderInfo;
  listing->ownChange = false;
  listing->used = ++TheMemory().clock;
  return listing;
}

// The name in listing that name stands for: the same but for ASCII case, or
// a name whose 8.3 alias it is.
bool FindListed(const Listing& listing, const core::String& name, core::String* stored) {
  i32 index = listing.Find(name.CStr());
  if (index >= 0) {
    *stored = listing.names[index];
    return true;
  }
  // An 8.3 alias holds a "~"; a name that is itself a short name is no alias.
  if (name.Find("~") < 0) return false;
  for (const core::String& entry : listing.names) {
    if (!IsShortName(entry.CStr()) && EqualNoCase(ShortNameOf(entry.CStr()).CStr(), name.CStr())) {
      *stored = entry;
      return true;
    }
  }
  return false;
}

}  // namespace

bool CachedFolder(const core::String& windowsFolder, core::String* host, struct stat* info) {
  Memory& memory = TheMemory();
  for (i32 i = 0; i < memory.folders.Size(); ++i) {
    Folder& folder = memory.folders[i];
    if (!SamePath(folder.windows, windowsFolder)) continue;
    if (stat(folder.host.CStr(), info) != 0 || !S_ISDIR(info->st_mode) || !SameFolder(*info, folder.info)) {
      memory.folders.RemoveAt(i);
      return false;
    }
    folder.used = ++memory.clock;
    *host = folder.host;
    return true;
  }
  return false;
}

void RememberFolder(const core::String& windowsFolder, const core::String& host, const struct stat& info) {
  Memory& memory = TheMemory();
  Folder* slot = nullptr;
  for (Folder& folder : memory.folders)
    if (SamePath(folder.windows, windowsFolder)) slot = &folder;
  if (!slot && memory.folders.Size() < kFolders) slot = &memory.folders.Append(Folder());
  if (!slot) {
    slot = &memory.folders[0];
    for (Folder& folder : memory.folders)
      if (folder.used < slot->used) slot = &folder;
  }
  slot->windows = windowsFolder;
  slot->host = host;
  slot->info = info;
  slot->used = ++memory.clock;
}

bool FindInFolder(const core::String& hostFolder, const struct stat& folderInfo, const core::String& name,
                  core::String* stored) {
  Memory& memory = TheMemory();
  Listing* listing = CurrentListing(hostFolder, folderInfo);
  if (!listing) {
    listing = ListingOf(hostFolder);
    if (!listing) {
      if (memory.listings.Size() < kListings) {
        listing = &memory.listings.Append(Listing());
      } else {
        listing = &memory.listings[0];
        for (Listing& other : memory.listings)
          if (other.used < listing->used) listing = &other;
      }
      listing->host = hostFolder;
    }
    if (!ReadListing(hostFolder, *listing)) {
      NoteNameRemoved(hostFolder);
      return false;
    }
    listing->info = folderInfo;
    listing->ownChange = false;
    listing->used = ++memory.clock;
  }
  return FindListed(*listing, name, stored);
}

bool KnownMissing(const core::String& hostFolder, const struct stat& folderInfo, const core::String& name) {
  const Listing* listing = CurrentListing(hostFolder, folderInfo);
  core::String stored;
  return listing && !FindListed(*listing, name, &stored);
}

void NoteNameAdded(const core::String& hostFolder, const char* name) {
  if (Listing* listing = ListingOf(hostFolder)) {
    listing->Add(name);
    listing->ownChange = true;
  }
}

void NoteNameRemoved(const core::String& hostFolder) {
  core::Array<Listing>& listings = TheMemory().listings;
  for (i32 i = 0; i < listings.Size(); ++i)
    if (SamePath(listings[i].host, hostFolder)) listings.RemoveAt(i);
}

void ForgetFolders() {
  TheMemory().folders.Clear();
  TheMemory().listings.Clear();
}

}  // namespace kova::platform::posix
