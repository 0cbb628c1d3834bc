// Laying out the install script; see script_items.h. The order here is the
// order the stub reads, item by item; nothing in the stream names or sizes
// the items, so a single item out of place shifts everything after it.
#include "builder/script_items.h"

#include "format/install_script.h"

namespace kova::builder {

void PutU32(std::vector<u8>& out, u32 value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<u8>(value >> (8 * i)));
}

void PutText(std::vector<u8>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

void PutStamp(std::vector<u8>& out, const format::FileStamp& stamp) {
  PutI32(out, stamp.year);
  PutI32(out, stamp.month);
  PutI32(out, stamp.day);
  PutI32(out, stamp.hour);
  PutI32(out, stamp.minute);
  PutI32(out, stamp.second);
}

std::vector<u8> WriteInstallScript(const ScriptItems& items) {
  std::vector<u8> out;
  PutU32(out, items.productFlags);
  PutStamp(out, items.uninstallerStamp);
  PutText(out, items.publisher);
  PutText(out, items.productName);
  PutText(out, items.sharedDir);
  PutText(out, items.productStartMenu);
  PutText(out, items.defaultDir);
  PutText(out, items.versionText);
  PutText(out, items.productRegistry);
  PutI32(out, static_cast<i32>(items.licensePages.size()));
  for (const std::string& page : items.licensePages) PutText(out, page);
  PutI32(out, static_cast<i32>(items.readmePages.size()));
  for (const std::string& page : items.readmePages) PutText(out, page);
  PutText(out, items.uninstallSubdir);
  PutText(out, items.displayName);
  PutText(out, items.volumeBaseName);
  PutText(out, items.uninstallerFileName);
  PutU32(out, items.titleColor);
  PutU32(out, items.topColor);
  PutU32(out, items.bottomColor);
  PutI32(out, static_cast<i32>(items.backgroundBitmap.size()));
  out.insert(out.end(), items.backgroundBitmap.begin(), items.backgroundBitmap.end());
  if (items.productFlags & format::kFlagMasterProduct) PutText(out, items.masterProductName);
  PutText(out, items.preInstallBatch);
  PutText(out, items.postInstallBatch1);
  PutText(out, items.postInstallBatch2);
  PutText(out, items.uninstallBatch1);
  PutText(out, items.uninstallBatch2);
  PutU32(out, items.reserved);
  PutU32(out, items.excludedSystems);
  PutU32(out, items.firstSequenceNumber);
  PutI32(out, items.iconPatchOffset);
  if (items.iconPatchOffset > 0) out.insert(out.end(), items.iconPatch.begin(), items.iconPatch.end());
  PutI32(out, static_cast<i32>(items.associations.size()));
  for (const Association& a : items.associations) {
    PutU32(out, a.flags);
    PutText(out, a.extension);
    PutText(out, a.fileType);
    PutText(out, a.description);
    PutText(out, a.verb);
    PutText(out, a.verbText);
    PutText(out, a.command);
    PutText(out, a.language);
  }
  out.push_back(static_cast<u8>(items.languages.size()));
  PutI32(out, items.messageCount);
  for (const Language& language : items.languages) PutText(out, language.name);
  // Message-major: every language of message 0, then of message 1, ...
  static const std::string kEmpty;
  for (int n = 0; n < items.messageCount; ++n) {
    for (const Language& language : items.languages) {
      auto index = static_cast<std::size_t>(n);
      PutText(out, index < language.messages.size() ? language.messages[index] : kEmpty);
    }
  }
  PutU32(out, format::kScriptEndMarker);
  return out;
}

}  // namespace kova::builder
