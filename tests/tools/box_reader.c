/* box_reader: starts a Windows program and reads its dialogs from inside the
 * same Wine server, the way the end-to-end tests see the stub's message boxes
 * and dialogs. Wine's msgbox trace cuts texts after about 200 characters, and
 * picking a box among X windows races with the other windows of the program;
 * here every top-level dialog (class "#32770") of the program's process is
 * found with EnumWindows, and its caption and every control's text are read
 * whole.
 *
 *   box_reader.exe --report FILE [--program EXE] [--answers DIR] [--timeout SECONDS] COMMAND-LINE
 *
 * COMMAND-LINE is passed to CreateProcessA exactly as given (the one argument
 * after the options), so a test controls quotes and the first token itself;
 * with --program, EXE is the program started and the first token of the
 * command line may name any other file.
 * The report is one JSON object a line, written as things happen:
 *
 *   {"event":"started","pid":N}
 *   {"event":"dialog","seq":N,"pid":N,"caption":"...","default":ID|null,
 *    "rect":[LEFT,TOP,RIGHT,BOTTOM],"controls":[{"id":ID,"class":"Static","text":"...","visible":true,
 *                 "enabled":true,"items":[...],"selected":N}, ...]}
 *   {"event":"pressed","seq":N,"id":ID,"text":"..."}
 *   {"event":"error","seq":N,"message":"..."}
 *   {"event":"exit","code":N}          or  {"event":"timeout"}
 *
 * A dialog is reported once each time it becomes visible, when two readings
 * in a row agree (its owner may still be filling it in when it appears), and
 * again when it is enabled after a modal window of its own (a message box,
 * the folder browser) disabled it.
 * With --answers, the reader then waits for the file DIR\SEQ (written whole
 * by the test, e.g. by a rename) holding one command a line:
 *
 *   press default | press id ID | press text TEXT   the button, as a click would
 *                     (the default: the button Enter would press)
 *   set ID TEXT       the text of a control (an edit field)
 *   select ID INDEX   the selection of a list or combo box, with its notification
 *   dblclick ID INDEX the same, then the list box's double-click notification
 *   type ID TEXT      the characters typed into a control one by one (WM_CHAR), so
 *                     that the control's own limits apply
 *   key VK            a key pressed and released (virtual-key code, decimal) in the
 *                     control that has the focus, through the dialog's message loop:
 *                     27 Esc, 13 Enter
 *   close             WM_CLOSE, as the title bar's close button
 *   leave             nothing: the dialog stays as it is
 *   again             after the other commands: the dialog is read and reported
 *                     once more (a new seq) as soon as its reading settles, so a
 *                     test sees what its answer changed and can answer again
 *
 * Without --answers every dialog with a default button gets it pressed and
 * any other is left alone. A button is pressed by posting the dialog the
 * WM_COMMAND a click sends; a disabled or hidden button cannot be pressed
 * (reported as an error). The reader ends when the program ends, and reports
 * its exit code; at the time limit it ends the program. The program runs in
 * a job that is closed with the reader, so a reader killed by the test takes
 * the program with it.
 *
 * Texts are read with GetWindowTextA (what the program set, whole, in the
 * ANSI code page) except for edit fields, whose text lives in the control
 * and is asked for with WM_GETTEXT; list and combo box items with their own
 * messages. The JSON carries them as Unicode. Exit code: 0 when the program
 * ran to its end, 2 for a usage or start fault, 3 at the time limit. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define POLL_MS 20
#define SETTLE_POLLS 25          /* report after this many changing readings anyway */
#define MESSAGE_TIMEOUT_MS 5000  /* for messages sent to the program's windows */
#define MAX_DIALOGS 64

/* ---- a growable text buffer, and JSON output ---------------------------- */

typedef struct {
  char* data;
  size_t length, capacity;
} Text;

static void Append(Text* t, const char* bytes, size_t n) {
  if (t->length + n + 1 > t->capacity) {
    size_t capacity = t->capacity ? t->capacity : 256;
    while (t->length + n + 1 > capacity) capacity *= 2;
    char* data = (char*)realloc(t->data, capacity);
    if (!data) ExitProcess(4);
    t->data = data;
    t->capacity = capacity;
  }
  memcpy(t->data + t->length, bytes, n);
  t->length += n;
  t->data[t->length] = 0;
}

static void AppendFormat(Text* t, const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  int n = _vsnprintf(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  if (n < 0) n = sizeof buffer - 1;
  Append(t, buffer, (size_t)n);
}

/* A UTF-16 text as a JSON string literal. */
static void AppendJsonWide(Text* t, const WCHAR* text) {
  Append(t, "\"", 1);
  for (const WCHAR* c = text; *c; ++c) {
    if (*c == '"' || *c == '\\') {
      char pair[2] = {'\\', (char)*c};
      Append(t, pair, 2);
    } else if (*c == '\n' || *c == '\r' || *c == '\t') {
      char pair[2] = {'\\', *c == '\n' ? 'n' : *c == '\r' ? 'r' : 't'};
      Append(t, pair, 2);
    } else if (*c >= 0x20 && *c < 0x7F) {
      char one = (char)*c;
      Append(t, &one, 1);
    } else {
      AppendFormat(t, "\\u%04x", (unsigned)*c);
    }
  }
  Append(t, "\"", 1);
}

/* A text in the ANSI code page as a JSON string literal. */
static void AppendJsonString(Text* t, const char* text) {
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
  WCHAR* wide = (WCHAR*)malloc(sizeof(WCHAR) * (wideLength > 0 ? wideLength : 1));
  if (!wide) ExitProcess(4);
  if (wideLength <= 0 || !MultiByteToWideChar(CP_ACP, 0, text, -1, wide, wideLength)) wide[0] = 0;
  AppendJsonWide(t, wide);
  free(wide);
}

static HANDLE gReport = INVALID_HANDLE_VALUE;

/* One line of the report, written at once so that a reader never sees half. */
static void Emit(Text* line) {
  Append(line, "\n", 1);
  DWORD written;
  WriteFile(gReport, line->data, (DWORD)line->length, &written, NULL);
  line->length = 0;
}

static void EmitError(int seq, const char* message) {
  Text line = {0};
  AppendFormat(&line, "{\"event\":\"error\",\"seq\":%d,\"message\":", seq);
  AppendJsonString(&line, message);
  Append(&line, "}", 1);
  Emit(&line);
  free(line.data);
}

/* ---- reading windows ----------------------------------------------------- */

static char* WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  char* text = (char*)calloc((size_t)length + 2, 1);
  if (!text) ExitProcess(4);
  if (length > 0) GetWindowTextA(window, text, length + 1);
  return text;
}

static LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &result))
    return -1;
  return (LRESULT)result;
}

/* The text an edit field holds: only the control knows it. */
static char* ControlText(HWND control) {
  LRESULT length = Ask(control, WM_GETTEXTLENGTH, 0, 0);
  if (length < 0) return WindowText(control);
  char* text = (char*)calloc((size_t)length + 2, 1);
  if (!text) ExitProcess(4);
  Ask(control, WM_GETTEXT, (WPARAM)length + 1, (LPARAM)text);
  return text;
}

/* Items of a list box or a combo box, and the selected index. The items
 * are asked for in UTF-16: Wine hands an ANSI LB_GETTEXT sent from another
 * process the control's UTF-16 text unconverted. */
static void AppendItems(Text* t, HWND control, int combo) {
  UINT count = combo ? CB_GETCOUNT : LB_GETCOUNT, textLength = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  UINT getText = combo ? CB_GETLBTEXT : LB_GETTEXT, current = combo ? CB_GETCURSEL : LB_GETCURSEL;
  LRESULT n = Ask(control, count, 0, 0);
  Append(t, ",\"items\":[", 10);
  for (LRESULT i = 0; i < n; ++i) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, textLength, (WPARAM)i, 0, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &length) ||
        (LRESULT)length < 0)
      length = 0;
    WCHAR* item = (WCHAR*)calloc(length + 2, sizeof(WCHAR));
    if (!item) ExitProcess(4);
    DWORD_PTR ignored;
    if (length > 0)
      SendMessageTimeoutW(control, getText, (WPARAM)i, (LPARAM)item, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &ignored);
    if (i) Append(t, ",", 1);
    AppendJsonWide(t, item);
    free(item);
  }
  AppendFormat(t, "],\"selected\":%d", (int)Ask(control, current, 0, 0));
}

static int ClassIs(HWND window, const char* name) {
  char cls[64];
  return GetClassNameA(window, cls, sizeof cls) && lstrcmpiA(cls, name) == 0;
}

/* The button Enter would press: the focused button when it is marked as the
 * default push button, else the dialog's default id (DM_GETDEFID). A box
 * made with MB_DEFBUTTON2 moves the focus and the mark to its second button
 * and leaves DM_GETDEFID naming the first. */
static int DefaultButton(HWND dialog) {
  GUITHREADINFO thread;
  memset(&thread, 0, sizeof thread);
  thread.cbSize = sizeof thread;
  HWND focus = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &thread) ? thread.hwndFocus : NULL;
  if (focus && GetParent(focus) == dialog && ClassIs(focus, "Button") &&
      (GetWindowLongA(focus, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
    return GetDlgCtrlID(focus);
  LRESULT result = Ask(dialog, DM_GETDEFID, 0, 0);
  return result >= 0 && HIWORD(result) == DC_HASDEFID ? LOWORD(result) : -1;
}

/* The dialog's caption, default button and controls (direct children, in
 * their order, which is the tab order), as the fields of a JSON object. */
static void ReadDialog(Text* t, HWND dialog) {
  char* caption = WindowText(dialog);
  Append(t, "\"caption\":", 10);
  AppendJsonString(t, caption);
  free(caption);
  RECT rect;
  if (!GetWindowRect(dialog, &rect)) memset(&rect, 0, sizeof rect);
  AppendFormat(t, ",\"rect\":[%ld,%ld,%ld,%ld]", rect.left, rect.top, rect.right, rect.bottom);
  int defaultId = DefaultButton(dialog);
  if (defaultId >= 0)
    AppendFormat(t, ",\"default\":%d", defaultId);
  else
    Append(t, ",\"default\":null", 15);
  Append(t, ",\"controls\":[", 13);
  int first = 1;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[64] = "";
    GetClassNameA(c, cls, sizeof cls);
    int edit = lstrcmpiA(cls, "Edit") == 0;
    char* text = edit ? ControlText(c) : WindowText(c);
    if (!first) Append(t, ",", 1);
    first = 0;
    AppendFormat(t, "{\"id\":%d,\"class\":", GetDlgCtrlID(c));
    AppendJsonString(t, cls);
    Append(t, ",\"text\":", 8);
    AppendJsonString(t, text);
    AppendFormat(t, ",\"visible\":%s,\"enabled\":%s", IsWindowVisible(c) ? "true" : "false",
                 IsWindowEnabled(c) ? "true" : "false");
    if (lstrcmpiA(cls, "ListBox") == 0) AppendItems(t, c, 0);
    if (lstrcmpiA(cls, "ComboBox") == 0) AppendItems(t, c, 1);
    Append(t, "}", 1);
    free(text);
  }
  Append(t, "]", 1);
}

/* ---- the dialogs of the program ------------------------------------------ */

typedef struct {
  HWND window;
  int reported;   /* reported in this visible spell */
  int disabled;   /* seen disabled since it was reported (a modal child was up) */
  int readings;   /* readings so far while not yet reported */
  Text last;      /* the last reading while not yet reported */
} Dialog;

static Dialog gDialogs[MAX_DIALOGS];
static int gDialogCount;
static DWORD gPid;

static Dialog* Track(HWND window) {
  for (int i = 0; i < gDialogCount; ++i)
    if (gDialogs[i].window == window) return &gDialogs[i];
  if (gDialogCount == MAX_DIALOGS) return NULL;
  Dialog* d = &gDialogs[gDialogCount++];
  memset(d, 0, sizeof *d);
  d->window = window;
  return d;
}

/* A dialog that was closed or hidden is forgotten, so showing it again (or a
 * new window given the same handle) is reported anew. */
static void ForgetGone(void) {
  for (int i = 0; i < gDialogCount;) {
    if (IsWindow(gDialogs[i].window) && IsWindowVisible(gDialogs[i].window)) {
      ++i;
      continue;
    }
    free(gDialogs[i].last.data);
    gDialogs[i] = gDialogs[--gDialogCount];
  }
}

typedef struct {
  HWND found[MAX_DIALOGS];
  int count;
} Found;

static BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
  Found* f = (Found*)param;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == gPid && IsWindowVisible(window) && ClassIs(window, "#32770") && f->count < MAX_DIALOGS)
    f->found[f->count++] = window;
  return TRUE;
}

/* ---- answers ------------------------------------------------------------- */

static HWND FindButton(HWND dialog, const char* how, const char* what) {
  if (strcmp(how, "id") == 0) return GetDlgItem(dialog, atoi(what));
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!ClassIs(c, "Button")) continue;
    char* text = WindowText(c);
    char plain[512];
    size_t n = 0;
    for (const char* s = text; *s && n + 1 < sizeof plain; ++s)
      if (*s != '&') plain[n++] = *s;  /* the mnemonic mark is not part of what is seen */
    plain[n] = 0;
    free(text);
    if (strcmp(plain, what) == 0) return c;
  }
  return NULL;
}

static void Press(int seq, HWND dialog, const char* how, const char* what) {
  HWND button = NULL;
  if (strcmp(how, "default") == 0) {
    int id = DefaultButton(dialog);
    if (id >= 0) button = GetDlgItem(dialog, id);
  } else {
    button = FindButton(dialog, how, what);
  }
  char message[600];
  if (!button) {
    _snprintf(message, sizeof message - 1, "no button %s %s", how, what);
    message[sizeof message - 1] = 0;
    EmitError(seq, message);
    return;
  }
  int id = GetDlgCtrlID(button);
  if (!IsWindowVisible(button) || !IsWindowEnabled(button)) {
    _snprintf(message, sizeof message - 1, "button %d is disabled or hidden", id);
    message[sizeof message - 1] = 0;
    EmitError(seq, message);
    return;
  }
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
  Text line = {0};
  AppendFormat(&line, "{\"event\":\"pressed\",\"seq\":%d,\"id\":%d,\"text\":", seq, id);
  char* text = WindowText(button);
  AppendJsonString(&line, text);
  free(text);
  Append(&line, "}", 1);
  Emit(&line);
  free(line.data);
}

static void Select(int seq, HWND dialog, int id, int index, int doubleClick) {
  HWND control = GetDlgItem(dialog, id);
  int combo = control && ClassIs(control, "ComboBox");
  if (!control || (!combo && !ClassIs(control, "ListBox"))) {
    EmitError(seq, "select: no list or combo box of that id");
    return;
  }
  if (Ask(control, combo ? CB_SETCURSEL : LB_SETCURSEL, (WPARAM)index, 0) < 0 && index >= 0) {
    EmitError(seq, "select: no item of that index");
    return;
  }
  /* A selection made with the mouse or keys notifies the owner; one made by
   * message does not, so the notification is sent as the control would. */
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE), (LPARAM)control);
  if (doubleClick && !combo) PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), (LPARAM)control);
}

/* Typing: one WM_CHAR a character, posted in order, as the keyboard would. */
static void Type(int seq, HWND dialog, int id, const char* text) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) {
    EmitError(seq, "type: no control of that id");
    return;
  }
  for (const unsigned char* c = (const unsigned char*)text; *c; ++c) PostMessageA(control, WM_CHAR, *c, 1);
}

/* A key goes to the window with the focus, as the keyboard's would, so the
 * program's dialog loop (IsDialogMessage) sees it: Esc becomes IDCANCEL,
 * Enter the default button. */
static void Key(HWND dialog, int vk) {
  GUITHREADINFO thread;
  memset(&thread, 0, sizeof thread);
  thread.cbSize = sizeof thread;
  HWND focus = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &thread) && thread.hwndFocus
                   ? thread.hwndFocus : dialog;
  UINT scan = MapVirtualKeyA((UINT)vk, 0);
  PostMessageA(focus, WM_KEYDOWN, (WPARAM)vk, (LPARAM)(1 | (scan << 16)));
  PostMessageA(focus, WM_KEYUP, (WPARAM)vk, (LPARAM)(1 | (scan << 16) | (3u << 30)));
}

/* Carries out one command line of an answer; 1 for "again". */
static int Command(int seq, HWND dialog, char* line) {
  char* rest = strchr(line, ' ');
  if (rest) *rest++ = 0;
  if (strcmp(line, "leave") == 0) return 0;
  if (strcmp(line, "again") == 0) return 1;
  if (strcmp(line, "key") == 0 && rest) {
    Key(dialog, atoi(rest));
    return 0;
  }
  if (strcmp(line, "close") == 0) {
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return 0;
  }
  if (strcmp(line, "press") == 0 && rest) {
    char* what = strchr(rest, ' ');
    if (what) *what++ = 0;
    Press(seq, dialog, rest, what ? what : "");
    return 0;
  }
  if ((strcmp(line, "set") == 0 || strcmp(line, "select") == 0 || strcmp(line, "dblclick") == 0 ||
       strcmp(line, "type") == 0) && rest) {
    char* value = strchr(rest, ' ');
    if (value) *value++ = 0;
    int id = atoi(rest);
    if (strcmp(line, "set") == 0) {
      HWND control = GetDlgItem(dialog, id);
      if (!control || Ask(control, WM_SETTEXT, 0, (LPARAM)(value ? value : "")) < 0)
        EmitError(seq, "set: no control of that id");
    } else if (strcmp(line, "type") == 0) {
      Type(seq, dialog, id, value ? value : "");
    } else {
      Select(seq, dialog, id, value ? atoi(value) : -1, line[0] == 'd');
    }
    return 0;
  }
  EmitError(seq, "unknown command");
  return 0;
}

/* Reads the whole file DIR\SEQ once it exists; NULL when the program ended
 * or time ran out first. */
static char* WaitForAnswer(const char* dir, int seq, HANDLE process, DWORD deadline) {
  char path[MAX_PATH];
  _snprintf(path, sizeof path - 1, "%s\\%d", dir, seq);
  path[sizeof path - 1] = 0;
  for (;;) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD size = GetFileSize(file, NULL), got = 0;
      char* text = (char*)calloc(size + 2, 1);
      if (!text) ExitProcess(4);
      ReadFile(file, text, size, &got, NULL);
      CloseHandle(file);
      return text;
    }
    if (WaitForSingleObject(process, POLL_MS) == WAIT_OBJECT_0) return NULL;
    if ((LONG)(GetTickCount() - deadline) > 0) return NULL;
  }
}

/* Answers one reported dialog; 1 when it is to be reported again. */
static int Answer(int seq, HWND dialog, const char* answers, HANDLE process, DWORD deadline) {
  if (!answers) {
    if (DefaultButton(dialog) >= 0) Press(seq, dialog, "default", "");
    return 0;
  }
  char* text = WaitForAnswer(answers, seq, process, deadline);
  if (!text) return 0;
  int again = 0;
  for (char* line = text; *line;) {
    char* end = line + strcspn(line, "\r\n");
    char next = *end;
    *end = 0;
    if (*line) again |= Command(seq, dialog, line);
    line = next ? end + 1 : end;
  }
  free(text);
  return again;
}

/* ---- main ---------------------------------------------------------------- */

static int Usage(void) {
  fprintf(stderr, "usage: box_reader --report FILE [--program EXE] [--answers DIR] [--timeout SECONDS] "
          "COMMAND-LINE\n");
  return 2;
}

int main(int argc, char** argv) {
  const char* report = NULL;
  const char* answers = NULL;
  const char* program = NULL;
  DWORD timeoutMs = 60000;
  int i = 1;
  for (; i + 1 < argc && strncmp(argv[i], "--", 2) == 0; i += 2) {
    if (strcmp(argv[i], "--report") == 0)
      report = argv[i + 1];
    else if (strcmp(argv[i], "--program") == 0)
      program = argv[i + 1];
    else if (strcmp(argv[i], "--answers") == 0)
      answers = argv[i + 1];
    else if (strcmp(argv[i], "--timeout") == 0)
      timeoutMs = (DWORD)atoi(argv[i + 1]) * 1000;
    else
      return Usage();
  }
  if (!report || i + 1 != argc) return Usage();

  gReport = CreateFileA(report, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (gReport == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "box_reader: cannot write %s: error %lu\n", report, GetLastError());
    return 2;
  }

  /* The job ends the program when the reader ends without waiting for it.
   * What the program starts stays outside the job: an uninstaller's
   * self-deletion batch must outlive it. */
  HANDLE job = CreateJobObjectA(NULL, NULL);
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    memset(&limits, 0, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  char* commandLine = _strdup(argv[i]);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info;
  if (!commandLine ||
      !CreateProcessA(program, commandLine, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &startup, &info)) {
    Text line = {0};
    AppendFormat(&line, "{\"event\":\"error\",\"seq\":0,\"message\":\"CreateProcessA failed: error %lu\"}",
                 GetLastError());
    Emit(&line);
    return 2;
  }
  if (job) AssignProcessToJobObject(job, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  gPid = info.dwProcessId;
  Text line = {0};
  AppendFormat(&line, "{\"event\":\"started\",\"pid\":%lu}", gPid);
  Emit(&line);

  DWORD deadline = GetTickCount() + timeoutMs;
  int seq = 0;
  while (WaitForSingleObject(info.hProcess, POLL_MS) == WAIT_TIMEOUT) {
    if ((LONG)(GetTickCount() - deadline) > 0) {
      TerminateProcess(info.hProcess, 3);
      Append(&line, "{\"event\":\"timeout\"}", 19);
      Emit(&line);
      return 3;
    }
    ForgetGone();
    Found found;
    found.count = 0;
    EnumWindows(CollectDialog, (LPARAM)&found);
    /* EnumWindows lists the top of the Z order first: the newest box is
     * answered before the window it covers. */
    for (int k = 0; k < found.count; ++k) {
      Dialog* d = Track(found.found[k]);
      if (!d) continue;
      /* A dialog that a modal child (a box, the folder browser) disabled is
       * reported anew once it is enabled again: the child may have changed it. */
      if (d->reported && !IsWindowEnabled(d->window)) d->disabled = 1;
      if (d->reported && d->disabled && IsWindowEnabled(d->window)) {
        d->reported = d->disabled = d->readings = 0;
        free(d->last.data);
        memset(&d->last, 0, sizeof d->last);
      }
      if (d->reported) continue;
      Text reading = {0};
      ReadDialog(&reading, d->window);
      int settled = d->last.data && strcmp(d->last.data, reading.data) == 0;
      free(d->last.data);
      d->last = reading;
      if (!settled && ++d->readings < SETTLE_POLLS) continue;
      d->reported = 1;
      ++seq;
      AppendFormat(&line, "{\"event\":\"dialog\",\"seq\":%d,\"pid\":%lu,", seq, gPid);
      Append(&line, d->last.data, d->last.length);
      Append(&line, "}", 1);
      Emit(&line);
      if (Answer(seq, d->window, answers, info.hProcess, deadline)) {
        /* Read again from scratch: what the answer posted is handled first. */
        free(d->last.data);
        memset(&d->last, 0, sizeof d->last);
        d->reported = 0;
        d->readings = 0;
        Sleep(100);
      }
      break;  /* the answer may have changed every window: look again */
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  AppendFormat(&line, "{\"event\":\"exit\",\"code\":%lu}", code);
  Emit(&line);
  CloseHandle(info.hProcess);
  return 0;
}
