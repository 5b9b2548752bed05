// Running external tools: to completion through the command interpreter
// (thumbnail generators), or started directly with a search for the
// program's main window (Lister window).
#pragma once
#include <windows.h>

enum {
    kCommandLineChars = 4096, // command line buffers, terminator included
    kShellCommandMaxLength = 4094, // longest shell command line that is run
    kWindowSearchAttempts = 60,
    kWindowSearchSleepMs = 33,
    kWindowClassBytes = 512,
};

// Runs `programPath` with `arguments` hidden through the interpreter named
// by COMSPEC ("CMD.EXE" when unset), as
//   <interpreter> /s /c " "<program>" <arguments> "
// waits for it without a time limit and returns its exit code (0 when that
// cannot be read), the platform error code when nothing could be started,
// or -1 after a warning box when that command line would be 4095
// characters or longer.
//
// The interpreter expands %NAME% (and !NAME! with delayed expansion) even
// inside double quotes, so a file name could otherwise inject text into
// the command. When the program path or the arguments contain '%' or '!',
// the tool is therefore started directly instead (CreateProcessW, no
// console, same wait and result; a tool that cannot be started gives the
// platform error code), and the one piece of shell syntax the callers use
// is honoured by the runner itself: arguments that end in a
// standard-output redirection to a quoted file,
//   ... > "C:\path\out.txt"   or   ... >> "C:\path\out.txt"
// (blanks around '>' optional), have that file created (or appended to)
// and handed to the tool as its standard output. Its other standard
// handles, and standard output without a redirection, are the null device.
// Any other shell syntax (pipes, "2>", "&", "^") reaches such a tool as
// literal text. Without '%' and '!' the command runs through the
// interpreter exactly as above.
int RunThroughShell(const wchar_t* programPath, const wchar_t* arguments);

// Assembles the interpreter command line of RunThroughShell into `out`
// (`capacity` characters). The program path is put in double quotes unless
// it already begins with one. Writes as much as fits, always terminated,
// and returns the length of the whole command line, so a result of
// `capacity` or more means it was cut.
size_t BuildShellCommandLine(wchar_t* out, size_t capacity, const wchar_t* interpreter,
                             const wchar_t* programPath, const wchar_t* arguments);

// True when the command holds characters that the interpreter would expand.
bool NeedsDirectStart(const wchar_t* programPath, const wchar_t* arguments);

// Splits a trailing standard-output redirection (see RunThroughShell) off
// `arguments`: `command` receives the arguments before it (trailing spaces
// dropped), `stdoutPath` the file name without quotes, `append` whether it
// was ">>". Returns false, leaving `command` a copy of the arguments and
// `stdoutPath` empty, when there is none. Both buffers hold
// kCommandLineChars characters.
bool SplitStdoutRedirection(const wchar_t* arguments, wchar_t* command, wchar_t* stdoutPath, bool* append);

// The window of the program that StartProgramFindWindow last found; null
// when the last search found none.
extern HWND gFoundWindow;

// Starts `programPath` (the application name) with `commandLine` (which
// carries its own first token), hidden unless "Debug (bool)" is on, with
// inherited handles, and polls up to 60 times, 33 ms apart, for a top-level
// window of its primary thread whose class is "SDL_app" or "IrfanView".
// Returns the process handle (the caller closes it) with the window in
// gFoundWindow, or null when the start failed or no window came up; a
// program started without its window being found is ended.
HANDLE StartProgramFindWindow(const wchar_t* programPath, const wchar_t* commandLine);

// EnumWindows test: `threadId` is the started program's primary thread.
// Clears gFoundWindow; on a window of that thread with a recognised class
// stores it there and returns FALSE (stop); otherwise returns TRUE.
BOOL CALLBACK IsStartedProgramWindow(HWND window, LPARAM threadId);
