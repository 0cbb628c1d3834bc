// The platform's file layer, checked against Windows' own behaviour: the same
// cases run natively (the sandbox) and under Wine (the real Win32 calls), so
// a difference between the two is a fault of the sandbox.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "platform/directory.h"
#include "platform/disk.h"
#include "platform/file_names.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "platform/version.h"
#include "support/file_system_fixture.h"

namespace kova::platform {
namespace {

using PlatformFileTest = test::FileSystemTest;

constexpr u32 kRead = kAccessRead;
constexpr u32 kWrite = kAccessWrite;
constexpr u32 kBoth = kShareRead | kShareWrite;

FileHandle Open(const core::String& path, u32 access, u32 share, u32 creation = kOpenAlways) {
  return OpenFileHandle(path.CStr(), access, share, creation, kAttributeNormal);
}

TEST_F(PlatformFileTest, ShareModesFollowWindows) {
  struct Case {
    u32 firstAccess, firstShare, secondAccess, secondShare;
    bool opens;
  } cases[] = {
      {kRead, kShareRead, kRead, kShareRead, true},
      {kRead, kShareRead, kWrite, kBoth, false},           // the first refuses writers
      {kRead, kBoth, kWrite, kShareWrite, false},          // the second refuses the reader
      {kRead, kBoth, kWrite, kShareRead, true},            // ... but refusing writers is no conflict
      {kRead, kBoth, kRead | kWrite, kBoth, true},
      {kRead | kWrite, 0, kRead, kBoth, false},
      {kRead | kWrite, 0, 0, 0, true},                     // no access: no part in sharing
      {0, 0, kRead | kWrite, 0, true},
      {kWrite, kShareWrite, kWrite, kShareWrite, true},
      {kWrite, kShareWrite, kRead, kBoth, false},
  };
  core::String path = Path("shared.bin");
  for (const Case& c : cases) {
    ScopedFile first(Open(path, c.firstAccess, c.firstShare));
    ASSERT_TRUE(first);
    ScopedFile second(Open(path, c.secondAccess, c.secondShare));
    EXPECT_EQ(static_cast<bool>(second), c.opens)
        << std::hex << c.firstAccess << "/" << c.firstShare << " then " << c.secondAccess << "/" << c.secondShare;
    if (!second) {
      EXPECT_EQ(LastSystemError(), kErrorSharingViolation);
    }
  }
}

TEST_F(PlatformFileTest, RefusedCreateAlwaysLeavesTheFileAlone) {
  Put("keep.txt", "keep");
  {
    ScopedFile holder(Open(Path("keep.txt"), kRead | kWrite, 0));
    ASSERT_TRUE(holder);
    ScopedFile again(Open(Path("keep.txt"), kWrite, 0, kCreateAlways));
    EXPECT_FALSE(again);
    EXPECT_EQ(LastSystemError(), kErrorSharingViolation);
    EXPECT_FALSE(RemoveFile(Path("keep.txt").CStr()));
    EXPECT_EQ(LastSystemError(), kErrorSharingViolation);
    EXPECT_FALSE(MoveFilePath(Path("keep.txt").CStr(), Path("moved.txt").CStr(), 0));
    EXPECT_EQ(LastSystemError(), kErrorSharingViolation);
  }
  EXPECT_EQ(Get("keep.txt"), "keep");
  ScopedFile after(Open(Path("keep.txt"), kRead | kWrite, 0));
  EXPECT_TRUE(after);  // closing let go of everything
}

TEST_F(PlatformFileTest, NamesIgnoreLetterCaseAndKeepTheirOwn) {
  ASSERT_TRUE(MakeDirectory(Path("SubFolder").CStr()));
  Put("SubFolder\\MixedCase.TXT", "case");
  EXPECT_EQ(Get("subfolder\\mixedcase.txt"), "case");
  EXPECT_EQ(Get("SUBFOLDER\\MIXEDCASE.TXT"), "case");
  FindEntry entry;
  ScopedFind find(FindFirst(Path("SUBFOLDER\\mixed*").CStr(), &entry));
  ASSERT_TRUE(find);
  EXPECT_STREQ(entry.name.CStr(), "MixedCase.TXT");
  // Creating under another case opens the same file rather than a second one.
  ScopedFile same(Open(Path("subfolder\\MIXEDCASE.txt"), kWrite, 0, kCreateNew));
  EXPECT_FALSE(same);
  EXPECT_EQ(LastSystemError(), kErrorFileExists);
  // A rename that only changes the case keeps one file. (Windows then shows
  // the new case, as the sandbox does; Wine keeps the old one.)
  EXPECT_TRUE(MoveFilePath(Path("SubFolder\\MixedCase.TXT").CStr(), Path("SubFolder\\mixedcase.txt").CStr(), 0));
  ScopedFind renamed(FindFirst(Path("SubFolder\\*.txt").CStr(), &entry));
  ASSERT_TRUE(renamed);
  EXPECT_TRUE(entry.name.EqualsNoCase("mixedcase.txt"));
  EXPECT_FALSE(FindNext(renamed.Get(), &entry));
}

TEST_F(PlatformFileTest, PathFormsResolveLikeWindows) {
  Put("target.txt", "here");
  // ".." stops at the drive root: as many as one likes still lands inside it.
  core::String deep(dir_.Left(3));
  deep += "..\\..\\..\\";
  deep += dir_.Mid(3);
  deep += "\\.\\target.txt";
  ScopedFile viaDots(Open(deep, kRead, kBoth, kOpenExisting));
  EXPECT_TRUE(viaDots) << deep.CStr();
  // Forward slashes and doubled separators.
  core::String slashes(dir_);
  slashes += "//target.txt";
  ScopedFile viaSlashes(Open(slashes, kRead, kBoth, kOpenExisting));
  EXPECT_TRUE(viaSlashes) << slashes.CStr();
  // Relative to the current directory, and trailing dots and spaces.
  ScopedFile relative(OpenFileHandle("target.txt. ", kRead, kBoth, kOpenExisting, kAttributeNormal));
  EXPECT_TRUE(relative);
  ScopedFile rooted(Open(dir_.Mid(2) + "\\target.txt", kRead, kBoth, kOpenExisting));
  EXPECT_TRUE(rooted);
  // Characters no name may hold.
  for (const char* name : {"a|b", "a<b", "a>b", "a\"b"}) {
    ScopedFile bad(Open(Path(name), kWrite, 0, kCreateAlways));
    EXPECT_FALSE(bad) << name;
    EXPECT_EQ(LastSystemError(), kErrorInvalidName) << name;
  }
  ScopedFile folder(Open(dir_, kRead, kBoth, kOpenExisting));
  EXPECT_FALSE(folder);
  EXPECT_EQ(LastSystemError(), kErrorAccessDenied);
}

TEST_F(PlatformFileTest, FindMatchesSpecifications) {
  Put("a.txt", "1");
  Put("b.TXT", "22");
  Put("c.log", "333");
  ASSERT_TRUE(MakeDirectory(Path("sub").CStr()));
  auto names = [&](const char* specification) {
    std::set<std::string> found;
    FindEntry entry;
    ScopedFind find(FindFirst(Path(specification).CStr(), &entry));
    if (!find) return found;
    do found.insert(entry.name.CStr());
    while (FindNext(find.Get(), &entry));
    EXPECT_EQ(LastSystemError(), kErrorNoMoreFiles);
    return found;
  };
  EXPECT_EQ(names("*.txt"), (std::set<std::string>{"a.txt", "b.TXT"}));
  EXPECT_EQ(names("?.log"), (std::set<std::string>{"c.log"}));
  EXPECT_EQ(names("*.*"), (std::set<std::string>{".", "..", "a.txt", "b.TXT", "c.log", "sub"}));
  EXPECT_EQ(names("b.txt"), (std::set<std::string>{"b.TXT"}));

  FindEntry entry;
  EXPECT_FALSE(ScopedFind(FindFirst(Path("x*").CStr(), &entry)));
  EXPECT_EQ(LastSystemError(), kErrorFileNotFound);
  EXPECT_FALSE(ScopedFind(FindFirst(Path("missing\\*").CStr(), &entry)));
  EXPECT_EQ(LastSystemError(), kErrorPathNotFound);
  ScopedFind sub(FindFirst(Path("s?b").CStr(), &entry));
  ASSERT_TRUE(sub);
  EXPECT_TRUE(entry.attributes & kAttributeDirectory);
  ScopedFind file(FindFirst(Path("c.log").CStr(), &entry));
  ASSERT_TRUE(file);
  EXPECT_FALSE(entry.attributes & kAttributeDirectory);
  EXPECT_EQ(entry.size, 3);
}

TEST_F(PlatformFileTest, DirectoriesAndTheirErrors) {
  EXPECT_TRUE(MakeDirectory(Path("made").CStr()));
  EXPECT_FALSE(MakeDirectory(Path("made").CStr()));
  EXPECT_EQ(LastSystemError(), kErrorAlreadyExists);
  EXPECT_FALSE(MakeDirectory(Path("none\\deeper").CStr()));
  EXPECT_EQ(LastSystemError(), kErrorPathNotFound);
  Put("made\\inside.txt", "x");
  EXPECT_FALSE(RemoveEmptyDirectory(Path("made").CStr()));
  EXPECT_EQ(LastSystemError(), kErrorDirNotEmpty);
  EXPECT_TRUE(RemoveFile(Path("made\\inside.txt").CStr()));
  EXPECT_TRUE(RemoveEmptyDirectory(Path("made").CStr()));
  EXPECT_FALSE(RemoveEmptyDirectory(Path("made").CStr()));
  EXPECT_EQ(LastSystemError(), kErrorFileNotFound);
  EXPECT_FALSE(RemoveFile(Path("made").CStr()));
  EXPECT_FALSE(SetCurrentDirectoryPath(Path("made").CStr()));
}

TEST_F(PlatformFileTest, CurrentDirectoryBufferRules) {
  u32 needed = CurrentDirectoryInto(0, nullptr);
  EXPECT_EQ(needed, static_cast<u32>(dir_.Length()) + 1);
  std::string buffer(needed, 'x');
  EXPECT_EQ(CurrentDirectoryInto(needed - 1, buffer.data()), needed);  // one short: nothing copied
  EXPECT_EQ(CurrentDirectoryInto(needed, buffer.data()), needed - 1);
  EXPECT_STREQ(buffer.c_str(), dir_.CStr());
  ASSERT_TRUE(MakeDirectory(Path("Inner").CStr()));
  EXPECT_TRUE(SetCurrentDirectoryPath("Inner"));
  char inner[400];
  CurrentDirectoryInto(sizeof inner, inner);
  EXPECT_STREQ(inner, Path("Inner").CStr());
  EXPECT_TRUE(SetCurrentDirectoryPath(".."));
  EXPECT_FALSE(RemoveEmptyDirectory(dir_.CStr()));  // the current directory stays
}

TEST_F(PlatformFileTest, ReadOnlyFiles) {
  Put("locked.txt", "ro");
  u32 attributes = FileAttributesOf(Path("locked.txt").CStr());
  ASSERT_NE(attributes, kInvalidAttributes);
  EXPECT_FALSE(attributes & (kAttributeDirectory | kAttributeReadOnly));
  EXPECT_TRUE(FileAttributesOf(dir_.CStr()) & kAttributeDirectory);
  EXPECT_EQ(FileAttributesOf(Path("missing").CStr()), kInvalidAttributes);
  EXPECT_EQ(LastSystemError(), kErrorFileNotFound);

  ASSERT_TRUE(SetFileAttributesOf(Path("locked.txt").CStr(), attributes | kAttributeReadOnly));
  EXPECT_TRUE(FileAttributesOf(Path("locked.txt").CStr()) & kAttributeReadOnly);
#ifndef _WIN32
  // Windows refuses to open a read-only file for writing, and so does the
  // sandbox whoever runs it. Wine leaves that to the host's permissions,
  // which root passes, so under Wine as root the open succeeds.
  EXPECT_FALSE(ScopedFile(Open(Path("locked.txt"), kWrite, 0, kOpenExisting)));
  EXPECT_EQ(LastSystemError(), kErrorAccessDenied);
#endif
  EXPECT_TRUE(ScopedFile(Open(Path("locked.txt"), kRead, kShareRead, kOpenExisting)));
  EXPECT_FALSE(RemoveFile(Path("locked.txt").CStr()));
  EXPECT_EQ(LastSystemError(), kErrorAccessDenied);
  ASSERT_TRUE(SetFileAttributesOf(Path("locked.txt").CStr(), kAttributeNormal));
  EXPECT_TRUE(RemoveFile(Path("locked.txt").CStr()));
}

TEST_F(PlatformFileTest, Moves) {
  Put("one.txt", "1");
  Put("two.txt", "2");
  EXPECT_FALSE(MoveFilePath(Path("one.txt").CStr(), Path("two.txt").CStr(), 0));
  EXPECT_EQ(LastSystemError(), kErrorAlreadyExists);
  ASSERT_TRUE(CanMoveWithFlags());
  EXPECT_TRUE(MoveFilePath(Path("one.txt").CStr(), Path("two.txt").CStr(), kMoveReplaceExisting));
  EXPECT_EQ(Get("two.txt"), "1");
  EXPECT_FALSE(Exists("one.txt"));
  EXPECT_FALSE(MoveFilePath(Path("one.txt").CStr(), Path("three.txt").CStr(), 0));
  EXPECT_EQ(LastSystemError(), kErrorFileNotFound);
}

TEST_F(PlatformFileTest, TemporaryAndShortNames) {
  u32 needed = TempPathInto(0, nullptr);
  ASSERT_GT(needed, 1u);
  std::string temp(needed, '\0');
  EXPECT_EQ(TempPathInto(needed, temp.data()), needed - 1);
  EXPECT_EQ(temp[needed - 2], '\\');

  char name[kMaxPath + 1] = {};
  u32 unique = TempFileNameInto(dir_.CStr(), "KVTX", 0, name);
  ASSERT_NE(unique, 0u);
  std::string made(name);
  std::string expected = core::Formatted("%s\\KVT%X.TMP", dir_.CStr(), unique).CStr();
  EXPECT_TRUE(std::equal(made.begin(), made.end(), expected.begin(), expected.end(),
                         [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
      << made << " vs " << expected;
  EXPECT_NE(FileAttributesOf(name), kInvalidAttributes);
  EXPECT_EQ(TempFileNameInto(Path("missing").CStr(), "KVT", 0, name), 0u);

  ASSERT_TRUE(MakeDirectory(Path("Long Folder Name").CStr()));
  Put("Long Folder Name\\A rather long name.text", "short");
  core::String longPath = Path("Long Folder Name\\A rather long name.text");
  char shortPath[kMaxPath + 1] = {};
  u32 length = ShortPathInto(longPath.CStr(), shortPath, sizeof shortPath);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof shortPath);
  std::string tail = std::string(shortPath).substr(static_cast<std::size_t>(dir_.Length()));
  EXPECT_EQ(tail.find(' '), std::string::npos) << shortPath;
  ScopedFile viaShort(OpenFileHandle(shortPath, kRead, kBoth, kOpenExisting, kAttributeNormal));
  EXPECT_TRUE(viaShort) << shortPath;
  EXPECT_EQ(ShortPathInto(longPath.CStr(), shortPath, 4), length + 1);  // too small: the size needed
  EXPECT_EQ(ShortPathInto(Path("missing.txt").CStr(), shortPath, sizeof shortPath), 0u);
}

TEST_F(PlatformFileTest, DrivesAndSpace) {
  EXPECT_EQ(DriveTypeOf("C:\\"), kDriveFixed);
  EXPECT_EQ(DriveTypeOf("Q:\\"), kDriveNoRootDir);
  DiskClusters clusters;
  ASSERT_TRUE(DiskFreeClusters("C:\\", &clusters));
  EXPECT_GT(clusters.bytesPerSector, 0u);
  EXPECT_GT(clusters.sectorsPerCluster, 0u);
  EXPECT_GE(clusters.totalClusters, clusters.freeClusters);
  EXPECT_FALSE(DiskFreeClusters("Q:\\", &clusters));
  u64 available = 0, total = 0;
  ASSERT_TRUE(DiskFreeBytes("C:\\", &available, &total));
  EXPECT_GT(available, 0u);
  EXPECT_GE(total, available);
}

TEST(PlatformSystem, VersionAndErrorTexts) {
  OsVersion version;
  ASSERT_TRUE(GetOsVersion(&version));
  EXPECT_EQ(version.platformId, kPlatformNt);
  EXPECT_GE(version.major, 5u);
  EXPECT_FALSE(SystemErrorText(kErrorFileNotFound).IsEmpty());
  EXPECT_FALSE(SystemErrorText(kErrorSharingViolation).IsEmpty());
}

}  // namespace
}  // namespace kova::platform
