// ScriptReader: reads the decompressed install script front to back. Integers
// are little-endian; texts run to a NUL byte. Reads past the end yield zeros
// and empty texts, as the format expects: a truncated script is caught by its
// checksum or, at the latest, by the end marker.
#pragma once

#include "core/string.h"
#include "format/install_script.h"

namespace kova::format {

class ScriptReader {
 public:
  ScriptReader(const u8* data, i32 length) : data_(data), length_(length < 0 ? 0 : length) {}

  // Copies n bytes; past the end the rest of the destination is zeroed, the
  // position still advances by n and the result is false.
  bool ReadBytes(void* destination, i32 n);
  u32 ReadU32();
  i32 ReadI32() { return static_cast<i32>(ReadU32()); }
  u8 ReadByte();
  bool ReadText(core::String& destination);
  bool SkipText();

  i32 Position() const { return position_; }
  // Bytes left between the position and the end (0 when past it).
  i32 Remaining() const { return position_ < length_ ? length_ - position_ : 0; }
  const u8* Data() const { return data_; }
  i32 Length() const { return length_; }

 private:
  const u8* data_;
  i32 length_;
  i32 position_ = 0;
};

// Reads ProductFlags, the first item (the entry routine acts on it before the
// script's checksum is compared).
u32 ReadProductFlags(ScriptReader& reader);

// Reads every item after ProductFlags into script, checking counts and limits.
// Returns 0, or the corrupt-archive code of the first damage found. The
// message table is the last item before the end marker: script.messages is
// filled only once the whole table has been read, so with code 32
// (kCorruptEndMarker) and a non-empty script.messages only the end marker was
// wrong; a count refused up front leaves it empty.
i32 ReadScriptItems(ScriptReader& reader, InstallScript& script);

// Both of the above, for tools that read a whole script at once.
i32 ReadInstallScript(const u8* data, i32 length, InstallScript& script);

}  // namespace kova::format
