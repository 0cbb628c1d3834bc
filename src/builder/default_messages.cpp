// The default English texts; see default_messages.h. Line breaks are CR LF,
// as message boxes and Uninstall.DAT expect. Messages 63 and 64 are the first
// licence and read-me pages: empty by default, so that an installer without
// pages shows no page dialog.
#include "builder/default_messages.h"

#include <cstdio>

namespace kova::builder {
namespace {

struct DefaultText {
  const char* text;
  const char* arguments;
};

constexpr DefaultText kTexts[kDefaultMessageCount] = {
    /* 0 */ {"<product> Setup", ""},
    /* 1 */
    {"Welcome to the installation of <product>.\r\n\r\n"
     "Please close all other programs before you go on.\r\n\r\n"
     "Do you want to install <product> now?",
     ""},
    /* 2 */ {"<product> Is Already Installed", ""},
    /* 3 */ {"<product> is already installed in this folder:", ""},
    /* 4 */ {"This version of <product> is already installed in this folder:", ""},
    /* 5 */ {"An older version of <product> is installed in this folder:", ""},
    /* 6 */ {"A newer version of <product> is installed in this folder:", ""},
    /* 7 */ {"Do you want to install <product> again, over the existing installation?", ""},
    /* 8 */ {"Preparing the installation...", ""},
    /* 9 */
    {"<product> is already installed on this computer and cannot be installed again.\r\n\r\n"
     "Uninstall it first, then run this installation again.",
     ""},
    /* 10 */ {"<product> could not be removed completely:\r\n\r\n%s", "s"},
    /* 11 */ {"Choose the folder in which to install <product>:", ""},
    /* 12 */ {"<product> needs %s, which is not installed on this computer.\r\n\r\nThe installation cannot go on.", "s"},
    /* 13 */
    {"This installer is damaged and cannot go on. It was probably damaged while it was downloaded or "
     "copied.\r\n\r\n"
     "Delete it, get a new copy and run that one. If the problem comes back, check your computer for "
     "viruses.\r\n\r\n"
     "Error code: %d",
     "d"},
    /* 14 */ {"This is not a valid folder name. Enter a complete path, such as C:\\Programs\\<product>:", ""},
    /* 15 */ {"Uninstall Complete", ""},
    /* 16 */ {"Drive %c: does not exist. Choose a folder on another drive.", "c"},
    /* 17 */ {"<product> cannot be installed in the root folder of a drive. Choose a folder below it.", ""},
    /* 18 */ {"<product> cannot be installed directly in %s. Choose a folder below it.", "s"},
    /* 19 */
    {"There may not be enough free disk space.\r\n\r\n"
     "<product> needs %s, and drive %c: has %s free.\r\n\r\n"
     "Do you want to install it anyway?",
     "scs"},
    /* 20 */ {"<product> Setup", ""},
    /* 21 */ {"Error", ""},
    /* 22 */ {"The folder %s already exists.\r\n\r\nDo you want to install <product> into it?", "s"},
    /* 23 */ {"The folder %s does not exist.\r\n\r\nDo you want to create it and install <product> there?", "s"},
    /* 24 */ {"Installation Folder", ""},
    /* 25 */ {"Could not create the folder:", ""},
    /* 26 */ {"Please insert disk %d of <product> into drive %c: and click OK.", "dc"},
    /* 27 */ {"Next Disk", ""},
    /* 28 */ {"Do you want to cancel the installation of <product>?", ""},
    /* 29 */ {"Decompressing files...", ""},
    /* 30 */ {"This is not the right disk, or its file is damaged.", ""},
    /* 31 */ {"Could not install:", ""},
    /* 32 */ {"Creating shortcuts...", ""},
    /* 33 */ {"Uninstall <product>", ""},
    /* 34 */ {"<product> has been removed from your computer.", ""},
    /* 35 */ {"Remove Shared File", ""},
    /* 36 */ {"Finishing the installation...", ""},
    /* 37 */
    {"<product> has been installed, but Windows must be restarted to finish replacing files that were in "
     "use.\r\n\r\nDo you want to restart Windows now?",
     ""},
    /* 38 */ {"%s", "s"},
    /* 39 */ {"Installing <product>...", ""},
    /* 40 */ {"<product> has been installed.\r\n\r\nDo you want to see the installation log (%s)?", "s"},
    /* 41 */ {"Installation Complete", ""},
    /* 42 */ {"<product> has been installed, but some problems occurred. The installation log lists them.", ""},
    /* 43 */ {"The installation finished with problems.", ""},
    /* 44 */ {"Licence Agreement", ""},
    /* 45 */ {"I Accept", ""},
    /* 46 */ {"I Do Not Accept", ""},
    /* 47 */ {"Please read the following licence agreement. You must accept it to install <product>.", ""},
    /* 48 */ {"OK", ""},
    /* 49 */ {"Cancel", ""},
    /* 50 */ {"Read Me", ""},
    /* 51 */ {"Please read the following information before you install <product>.", ""},
    /* 52 */ {"Browse...", ""},
    /* 53 */ {"Do you want to remove <product> and all of its parts from your computer?", ""},
    /* 54 */ {"<product> Setup", ""},
    /* 55 */ {"Uninstall <product>", ""},
    /* 56 */ {"Do you want to remove the font %s?\r\n\r\nOther programs may still use it.", "s"},
    /* 57 */ {"Remove Font", ""},
    /* 58 */ {"Could not remove:", ""},
    /* 59 */
    {"No program uses the shared file %s any more.\r\n\r\nDo you want to remove it?", "s"},
    /* 60 */ {"", ""},
    /* 61 */ {"<product> cannot be installed on %s.", "s"},
    /* 62 */ {"Checking the installation files...", ""},
    /* 63 */ {"", ""},
    /* 64 */ {"", ""},
};

}  // namespace

const char* DefaultMessage(int number) {
  return number >= 0 && number < kDefaultMessageCount ? kTexts[number].text : "";
}

const char* MessageArguments(int number) {
  return number >= 0 && number < kDefaultMessageCount ? kTexts[number].arguments : "";
}

bool CheckMessageFormat(int number, std::string_view text, std::string& error) {
  if (number < 0 || number >= kDefaultMessageCount) return true;
  std::string_view expected = MessageArguments(number);
  std::size_t used = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 < text.size() && text[i + 1] == '%') {
      ++i;
      continue;
    }
    // Only the plain conversions are allowed: no flags, widths or lengths,
    // which could read the argument as something else.
    char conversion = i + 1 < text.size() ? text[i + 1] : '\0';
    bool plain = conversion == 's' || conversion == 'c' || conversion == 'd';
    if (plain && used < expected.size() && expected[used] == conversion) {
      ++used;
      ++i;
      continue;
    }
    char buffer[256];
    if (expected.empty()) {
      std::snprintf(buffer, sizeof buffer,
                    "message %d gets no arguments, so it may not contain '%%' directives (write %%%% for a "
                    "percent sign)",
                    number);
    } else {
      std::string list;
      for (char c : expected) list += std::string(list.empty() ? "" : ", ") + "%" + c;
      std::snprintf(buffer, sizeof buffer,
                    "message %d gets the arguments %s in this order; the directive at offset %zu does not fit "
                    "(write %%%% for a percent sign)",
                    number, list.c_str(), i);
    }
    error = buffer;
    return false;
  }
  return true;
}

}  // namespace kova::builder
