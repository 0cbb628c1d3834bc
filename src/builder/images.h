// The two pictures a manifest may name: the uninstaller's icon (a .ico file
// whose 32x32 256-colour image replaces the stub's own icon image in the
// uninstaller) and the setup window's background (a .bmp file, stored as the
// packed bitmap the setup window draws). Both are checked here so that the
// stub never meets a picture it cannot use.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/types.h"

namespace kova::builder {

// The size of a 32x32 icon image with 256 colours: its BITMAPINFOHEADER, the
// palette of 256 entries, 32 rows of 32 pixels and the 1-bit mask.
inline constexpr std::size_t kIconImageBytes = 40 + 256 * 4 + 32 * 32 + 32 * 32 / 8;

// Whether bytes are such an image (header fields included).
bool IsIconPatchImage(std::span<const u8> bytes);

// Takes the 32x32 256-colour image out of a .ico file.
bool ReadIconPatch(std::span<const u8> icoFile, std::vector<u8>& image, std::string& error);

// Turns a .bmp file into the packed bitmap of the install script: the file
// without its 14-byte file header, the pixels right after the palette. Only
// what the setup window can draw is accepted: a 12- or 40-byte header,
// uncompressed pixels, and every pixel row present.
bool ReadBackgroundBitmap(std::span<const u8> bmpFile, std::vector<u8>& dib, std::string& error);

}  // namespace kova::builder
