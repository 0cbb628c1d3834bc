// The message table: every text a user reads during an installation, by
// message number and language, as carried by the install script. Message
// texts may hold the placeholders "<product>" and "<os>"; they are replaced
// on first lookup, in the table itself.
#pragma once

#include "core/array.h"
#include "core/string.h"

namespace kova::payload {

// Message numbers by what each text is for. The texts come from the install
// script; only the corrupt-archive text and the error caption have
// fallbacks in the program.
enum Message : i32 {
  kMsgSetupTitle = 0,           // the setup window's title
  kMsgWelcome = 1,              // the welcome question
  kMsgReinstallCaption = 2,     // caption of the reinstall question
  kMsgReinstallUnknown = 3,     // reinstall: one of the two versions is blank
  kMsgReinstallSame = 4,        // reinstall: the same version is installed
  kMsgReinstallOlder = 5,       // reinstall: an older version is installed
  kMsgReinstallNewer = 6,       // reinstall: a newer version is installed
  kMsgReinstallQuestion = 7,
  kMsgPhasePreparing = 8,       // first phase text of the progress dialog
  kMsgNoReinstall = 9,          // reinstalling is not allowed
  kMsgChooseDirectory = 11,     // directory prompt; title of the folder browser
  kMsgMasterMissing = 12,       // %s: the master product's name
  kMsgCorruptArchive = 13,      // %d: the corrupt code
  kMsgInvalidDirectory = 14,
  kMsgNoSuchDrive = 16,         // %c: the drive letter
  kMsgDriveRootRefused = 17,
  kMsgProgramFilesRefused = 18, // %s: the folder
  kMsgLowDiskSpace = 19,        // %s need, %c drive, %s free
  kMsgQuestionCaption = 20,     // caption of questions and of the error summary
  kMsgErrorCaption = 21,        // caption of error boxes
  kMsgUseExistingDirectory = 22,  // %s: the directory
  kMsgCreateDirectory = 23,       // %s: the directory
  kMsgDirectoryCaption = 24,
  kMsgCannotCreateFolder = 25,  // prefix of a folder-creation line in the error text
  kMsgInsertDisk = 26,          // %d the volume, %c the drive
  kMsgNextDiskCaption = 27,
  kMsgCancelQuestion = 28,
  kMsgPhaseDecompressing = 29,
  kMsgWrongDisk = 30,
  kMsgCannotInstall = 31,       // prefix of a failed-write line in the error text
  kMsgPhaseShortcuts = 32,
  kMsgUninstallShortcut = 33,   // name of the uninstall shortcuts
  kMsgPhaseFinishing = 36,
  kMsgRestartQuestion = 37,
  kMsgDefaultShortcut = 38,     // %s: the target's file name
  kMsgProgressHeading = 39,
  kMsgViewLog = 40,             // %s: the log's path
  kMsgViewLogCaption = 41,
  kMsgErrorsLogged = 42,
  kMsgErrorsCaption = 43,       // also closes the error text in the log
  kMsgLicenseCaption = 44,
  kMsgLicenseAccept = 45,
  kMsgLicenseRefuse = 46,
  kMsgLicensePrompt = 47,
  kMsgOkButton = 48,            // OK of the language, read-me and directory dialogs
  kMsgCancelButton = 49,
  kMsgReadmeCaption = 50,
  kMsgReadmePrompt = 51,
  kMsgBrowseButton = 52,
  kMsgProgressCaption = 54,
  kMsgSystemRefused = 61,       // %s: the operating system's name
  kMsgPhaseChecking = 62,
  kMsgFirstLicencePage = 63,
  kMsgFirstReadmePage = 64,
};

// Languages and message texts; messages[n][language].
void SetMessageTable(core::Array<core::String> languageNames,
                     core::Array<core::Array<core::String>> messages);
bool HasMessageTable();

i32 LanguageCount();
const core::String& LanguageName(i32 language);  // empty outside the list

i32 LanguageIndex();
void SetLanguageIndex(i32 language);

// The text of message n in the current language with its placeholders
// replaced; empty when the number or the language is out of range. The text
// is the table's own, valid until the table is set again.
const core::String& GetMessage(i32 number);

}  // namespace kova::payload
