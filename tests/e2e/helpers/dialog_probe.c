/* A dialog for testing the box reader itself: one of each control it reads
 * (a long static text, an edit field, a list box, a combo box, a disabled
 * button, the default OK and Cancel), and, when OK is pressed, a message box
 * naming what the controls hold then. The same line is written to the file
 * named by the first argument; the exit code is the button that ended it.
 *
 *   dialog_probe.exe RESULT-FILE */
#include <stdio.h>
#include <string.h>
#include <windows.h>

enum { kLabel = 100, kEdit = 101, kList = 102, kCombo = 103, kApply = 104 };

static const char* gResultPath;
static int gListChanges, gComboChanges;

static HWND Control(HWND dialog, const char* cls, const char* text, DWORD style, int id, int y, int height) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 360, height, dialog,
                         (HMENU)(INT_PTR)id, GetModuleHandleA(NULL), NULL);
}

static void Fill(HWND dialog) {
  /* Longer than Wine's msgbox trace shows, with line breaks, a tab, quotes,
   * a backslash and a letter of the upper half of code page 1252. */
  char label[1200] = "";
  for (int i = 0; i < 20; ++i) strcat(label, "Line of the probe's label, long enough to be cut. ");
  strcat(label, "\r\nEnd:\t\"quoted\" C:\\path caf\xe9");
  Control(dialog, "STATIC", label, SS_LEFT, kLabel, 5, 60);
  Control(dialog, "EDIT", "first text", WS_BORDER | ES_AUTOHSCROLL, kEdit, 70, 20);
  HWND list = Control(dialog, "LISTBOX", "", WS_BORDER | LBS_NOTIFY, kList, 95, 60);
  HWND combo = Control(dialog, "COMBOBOX", "", CBS_DROPDOWNLIST, kCombo, 160, 100);
  const char* items[] = {"Alpha", "Beta", "Gamma"};
  for (int i = 0; i < 3; ++i) {
    SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)items[i]);
    SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)items[i]);
  }
  SendMessageA(list, LB_SETCURSEL, 0, 0);
  SendMessageA(combo, CB_SETCURSEL, 1, 0);
  EnableWindow(Control(dialog, "BUTTON", "&Apply", BS_PUSHBUTTON, kApply, 190, 20), FALSE);
  Control(dialog, "BUTTON", "OK", BS_DEFPUSHBUTTON, IDOK, 215, 20);
  Control(dialog, "BUTTON", "Cancel", BS_PUSHBUTTON, IDCANCEL, 240, 20);
  SendMessageA(dialog, DM_SETDEFID, IDOK, 0);
  SetWindowTextA(dialog, "Probe Dialog");
}

static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  if (message == WM_INITDIALOG) {
    Fill(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  int id = LOWORD(wParam);
  if (id == kList && HIWORD(wParam) == LBN_SELCHANGE) ++gListChanges;
  if (id == kCombo && HIWORD(wParam) == CBN_SELCHANGE) ++gComboChanges;
  if (id == IDOK) {
    char text[256], line[512];
    GetDlgItemTextA(dialog, kEdit, text, sizeof text);
    _snprintf(line, sizeof line - 1, "edit=%s list=%d/%d combo=%d/%d", text,
              (int)SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), gListChanges,
              (int)SendDlgItemMessageA(dialog, kCombo, CB_GETCURSEL, 0, 0), gComboChanges);
    line[sizeof line - 1] = 0;
    FILE* out = fopen(gResultPath, "w");
    if (out) {
      fputs(line, out);
      fclose(out);
    }
    MessageBoxA(dialog, line, "Probe Result", MB_OKCANCEL | MB_DEFBUTTON2);
  }
  if (id == IDOK || id == IDCANCEL) EndDialog(dialog, id);
  return TRUE;
}

int main(int argc, char** argv) {
  if (argc < 2) return 100;
  gResultPath = argv[1];
  /* An empty template: the controls are made in WM_INITDIALOG. */
  struct {
    DLGTEMPLATE header;
    WORD menu, cls, title;
  } blank;
  memset(&blank, 0, sizeof blank);
  blank.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  blank.header.cx = 260;
  blank.header.cy = 180;
  return (int)DialogBoxIndirectParamA(GetModuleHandleA(NULL), &blank.header, NULL, Procedure, 0);
}
