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

enum {
    kToolNotRun = -1, // the command line was too long, or the tool may not run it
    kToolTimedOut = -2, // ended at the time limit; what it wrote is no result
};

// Runs `programPath` with `arguments` hidden through the interpreter named
// by COMSPEC ("CMD.EXE" when unset), as
//   <interpreter> /s /c " "<program>" <arguments> "
// and returns its exit code (0 when that cannot be read), the platform
// error code when nothing could be started, kToolNotRun (after an error
// box) when that command line would be 4095 characters or longer, or
// kToolTimedOut. Every run is bounded by a fixed time limit and runs in a
// job: past the limit, and in any case when the run ends, everything the
// tool started is ended, so nothing of it outlives the call.
//
// `filePaths` are the texts of the file system (source, output, temporary
// files) that the caller put into `arguments`; the rest are the user's
// settings. The interpreter expands %NAME% (and !NAME! with delayed
// expansion) even inside double quotes, which in a settings text is the
// user's intent, but would let a file name inject text into the command.
// When the program path or one of the file paths holds '%' or '!', or a
// file path would not stand inside quotes (FilePathsStayQuoted), the
// tool is therefore started directly instead (CreateProcessW, no console,
// same time limit and result), and the one piece of shell syntax the
// callers use is honoured by the runner itself: arguments that end in a
// standard-output redirection to a quoted file,
//   ... > "C:\path\out.txt"   or   ... >> "C:\path\out.txt"
// (blanks around '>' optional), have that file created (or appended to)
// and handed to the tool as its standard output. Its other standard
// handles, and standard output without a redirection, are the null device.
// Any other shell syntax (pipes, "2>", "&", "^", settings' %NAME%) reaches
// such a tool as literal text. A batch file (.bat, .cmd) would be run by
// the interpreter even then, so it is not started on that route: an error
// box names it and the result is kToolNotRun.
int RunThroughShell(const wchar_t* programPath, const wchar_t* arguments, const wchar_t* const* filePaths,
                    size_t filePathCount);
template <size_t N>
int RunThroughShell(const wchar_t* programPath, const wchar_t* arguments, const wchar_t* const (&filePaths)[N])
{
    return RunThroughShell(programPath, arguments, filePaths, N);
}

// Assembles the interpreter command line of RunThroughShell into `out`
// (`capacity` characters). The program path is put in double quotes unless
// it already begins with one. Writes as much as fits, always terminated,
// and returns the length of the whole command line, so a result of
// `capacity` or more means it was cut.
size_t BuildShellCommandLine(wchar_t* out, size_t capacity, const wchar_t* interpreter,
                             const wchar_t* programPath, const wchar_t* arguments);

// True when the program path or one of the file paths (null entries are
// skipped) holds a character that the interpreter would expand.
bool NeedsDirectStart(const wchar_t* programPath, const wchar_t* const* filePaths, size_t filePathCount);

// True when every place where one of the file paths (null and empty ones
// skipped) stands in `arguments` lies inside double quotes as the
// interpreter reads the command line of RunThroughShell. A settings text
// with an odd number of quotes turns that quoting inside out, and '&', '|'
// or '<' in a file name would then be syntax.
bool FilePathsStayQuoted(const wchar_t* programPath, const wchar_t* arguments, const wchar_t* const* filePaths,
                         size_t filePathCount);

// True when `programPath` names a batch file (.bat or .cmd in any letter
// case, also in quotes or followed by the dots and blanks that file names
// lose), which the platform hands to the interpreter however it is started.
bool IsBatchFile(const wchar_t* programPath);

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
// carries its own first token), hidden unless "Debug (bool)" is on,
// inheriting no handles, and polls up to 60 times, 33 ms apart, for a top-level
// window of its primary thread whose class is "SDL_app" or "IrfanView";
// the polls stop as soon as the program has ended. Returns the process
// handle (the caller closes it) with the window in gFoundWindow, or null
// when the start failed, the program ended or no window came up; a program
// started without its window being found is ended.
HANDLE StartProgramFindWindow(const wchar_t* programPath, const wchar_t* commandLine);

// EnumWindows test: `threadId` is the started program's primary thread.
// Clears gFoundWindow; on a window of that thread with a recognised class
// stores it there and returns FALSE (stop); otherwise returns TRUE.
BOOL CALLBACK IsStartedProgramWindow(HWND window, LPARAM threadId);
