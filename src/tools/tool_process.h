// Starting a tool's process: only the handles meant for it are inherited,
// and a run to completion is bounded in time and ends the tool's whole
// process tree.
#pragma once
#include <windows.h>

#include "tools/runner.h"

enum {
    // A thumbnail tool that has not ended by then is stuck (a dead network
    // share, a prompt on its hidden console); the host's thread waits for it.
    kToolTimeLimitMs = 120000,
    // How long the ended tree may take to go, so that no file stays open.
    kToolEndWaitMs = 5000,
};

// CreateProcessW with no security attributes, environment or directory of
// its own. The child inherits exactly `handles` (which must be inheritable)
// through an explicit handle list, or none at all when `handleCount` is 0.
BOOL CreateToolProcess(const wchar_t* applicationName, wchar_t* commandLine, DWORD creationFlags,
                       const STARTUPINFOW* startup, const HANDLE* handles, size_t handleCount,
                       PROCESS_INFORMATION* process);

// Starts `commandLine` as CreateToolProcess does, inside a job of its own,
// and waits for it up to the time limit. Whatever the tool started is ended
// when the run ends (where no job can be had, as its process tree), and gone
// before this returns. Returns the exit code (0
// when it cannot be read), the platform error code when nothing could be
// started, or kToolTimedOut when the tree was ended at the time limit.
int RunToolProcess(wchar_t* commandLine, DWORD creationFlags, const STARTUPINFOW* startup, const HANDLE* handles,
                   size_t handleCount);
