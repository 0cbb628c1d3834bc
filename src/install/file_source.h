// An open installer or volume file as a ByteSource for the readers of format/.
#pragma once

#include "format/archive.h"
#include "format/byte_source.h"
#include "install/file.h"

namespace kova::install {

class FileSource final : public format::ByteSource {
 public:
  explicit FileSource(install::File& file) : file_(file) {}
  i64 Size() override { return file_.Size(); }
  bool ReadAt(i64 position, u8* buffer, i64 n) override {
    // File positions are 32-bit: an installer is far below 2 GiB, and the
    // archive stores its offsets in 32 bits as well.
    if (position < 0 || n < 0 || position > 0x7FFFFFFF || n > 0x7FFFFFFF - position) return false;
    return file_.ReadAt(static_cast<i32>(position), buffer, static_cast<i32>(n));
  }
  // The installer's own archive section is lent from the program's image,
  // where the system has already put it when the program is the installer
  // (the stub), else the file is mapped.
  const u8* View(i64 position, i64 n) override;
  // The file is the running program's own: its archive section lies there.
  void IsProgramImage(const format::PeLayout& layout) { section_ = layout; }

 private:
  install::File& file_;
  format::PeLayout section_;
};

}  // namespace kova::install
