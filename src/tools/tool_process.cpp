// A tool runs on the host's thread: it must neither keep that thread past
// a fixed time nor leave anything running or holding files afterwards.
#include "tools/tool_process.h"

#include <tlhelp32.h>

#include "tools/runner_testing.h"

enum {
    // Processes of a tree ended without a job that are waited for; one wait
    // takes at most this many. A tool starts one or two.
    kTreeProcesses = MAXIMUM_WAIT_OBJECTS,
    // Walks of the process list: each finds what the ones before it missed.
    kTreePasses = 8,
};

static DWORD gToolTimeLimit = kToolTimeLimitMs;
static bool gRefuseJobs = false;

void SetToolTimeLimitForTests(DWORD milliseconds)
{
    gToolTimeLimit = milliseconds ? milliseconds : (DWORD)kToolTimeLimitMs;
}

void RefuseToolJobsForTests(bool refuse)
{
    gRefuseJobs = refuse;
}

BOOL CreateToolProcess(const wchar_t* applicationName, wchar_t* commandLine, DWORD creationFlags,
                       const STARTUPINFOW* startup, const HANDLE* handles, size_t handleCount,
                       PROCESS_INFORMATION* process)
{
    STARTUPINFOW plain = *startup;
    if (handleCount == 0)
        return CreateProcessW(applicationName, commandLine, NULL, NULL, FALSE, creationFlags, NULL, NULL, &plain,
                              process);

    // Inheriting "all inheritable handles" would hand the tool whatever the
    // host (or another thread of it, at that moment) made inheritable, and a
    // tool that outlives its use could keep the host's files open.
    BOOL started = FALSE;
    bool initialized = false;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    SIZE_T size = 0;
    STARTUPINFOEXW extended = {};
    extended.StartupInfo = *startup;
    extended.StartupInfo.cb = sizeof extended;
    InitializeProcThreadAttributeList(NULL, 1, 0, &size);
    LPPROC_THREAD_ATTRIBUTE_LIST list = (LPPROC_THREAD_ATTRIBUTE_LIST)HeapAlloc(GetProcessHeap(), 0, size);
    if (!list) goto done;
    initialized = InitializeProcThreadAttributeList(list, 1, 0, &size) != FALSE;
    if (!initialized || !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, (void*)handles,
                                                   handleCount * sizeof(HANDLE), NULL, NULL)) {
        error = GetLastError();
        goto done;
    }
    extended.lpAttributeList = list;
    started = CreateProcessW(applicationName, commandLine, NULL, NULL, TRUE,
                             creationFlags | EXTENDED_STARTUPINFO_PRESENT, NULL, NULL, &extended.StartupInfo, process);
    error = started ? ERROR_SUCCESS : GetLastError();

done:
    if (initialized) DeleteProcThreadAttributeList(list);
    if (list) HeapFree(GetProcessHeap(), 0, list);
    SetLastError(error);
    return started;
}

// A job that ends every process in it once its last handle is closed, and
// lets a crashing tool end at once instead of waiting at an error report.
static HANDLE createToolJob()
{
    HANDLE job = CreateJobObjectW(NULL, NULL);
    if (!job) return NULL;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return NULL;
    }
    return job;
}

static bool assignToJob(HANDLE job, HANDLE process)
{
    if (gRefuseJobs) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return AssignProcessToJobObject(job, process) != FALSE;
}

static void closeProcess(PROCESS_INFORMATION* process)
{
    if (process->hThread) CloseHandle(process->hThread);
    if (process->hProcess) CloseHandle(process->hProcess);
    *process = PROCESS_INFORMATION();
}

// The tool joins the job before it runs an instruction of its own, so
// nothing it starts escapes. Without nested jobs (before Windows 8) a host
// that runs in a job of its own makes the assignment fail: then the tool
// breaks away from the host's job where that job allows it, and otherwise
// runs outside any job, still bounded in time. On success *inJob tells
// whether the job holds it; on failure the platform error code is returned.
static DWORD startInJob(HANDLE job, wchar_t* commandLine, DWORD creationFlags, const STARTUPINFOW* startup,
                        const HANDLE* handles, size_t handleCount, PROCESS_INFORMATION* process, bool* inJob)
{
    static const DWORD kJobAttempts[] = {0, CREATE_BREAKAWAY_FROM_JOB};
    *inJob = false;
    for (DWORD attempt : kJobAttempts) {
        if (!job) break;
        if (!CreateToolProcess(NULL, commandLine, creationFlags | CREATE_SUSPENDED | attempt, startup, handles,
                               handleCount, process)) {
            if (attempt) break; // the host's job allows no breakaway
            return GetLastError();
        }
        if (assignToJob(job, process->hProcess)) {
            ResumeThread(process->hThread);
            *inJob = true;
            return ERROR_SUCCESS;
        }
        // Suspended since its start: it has done nothing yet.
        TerminateProcess(process->hProcess, ERROR_ACCESS_DENIED);
        closeProcess(process);
    }
    if (!CreateToolProcess(NULL, commandLine, creationFlags, startup, handles, handleCount, process))
        return GetLastError();
    return ERROR_SUCCESS;
}

// Ends what the tool left running and waits until it is gone: a process
// being ended may still hold the output file, which the caller is about to
// judge, empty or delete.
static void endJob(HANDLE job)
{
    TerminateJobObject(job, ERROR_TIMEOUT);
    for (DWORD waited = 0; waited < kToolEndWaitMs; waited += 10) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                       NULL))
            return;
        if (accounting.ActiveProcesses == 0) return;
        Sleep(10);
    }
}

static unsigned long long creationTime(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

static int indexOfId(const DWORD* ids, int count, DWORD id)
{
    for (int i = 0; i < count; ++i)
        if (ids[i] == id) return i;
    return -1;
}

// Outside a job, ending the process we started ends the interpreter but not
// the tool it runs, which would hold the output file and could write into
// it after the caller has judged it. So the whole tree goes: every process
// whose parent id is one of the tree's, found by walking the process list
// again until a walk finds no more. Ids are reused, so a process created
// before its supposed parent got its parent id from another process and is
// left alone; the members stay open, so their ids cannot pass on meanwhile.
static void endProcessTree(HANDLE root)
{
    HANDLE held[kTreeProcesses];
    DWORD ids[kTreeProcesses];
    unsigned long long created[kTreeProcesses];
    int count = 1;
    held[0] = root;
    ids[0] = GetProcessId(root);
    created[0] = creationTime(root);
    TerminateProcess(root, ERROR_TIMEOUT);
    for (int pass = 0; pass < kTreePasses && created[0]; ++pass) {
        bool found = false;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) break;
        PROCESSENTRY32W entry;
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more && count < kTreeProcesses;
             more = Process32NextW(snapshot, &entry)) {
            int parent = indexOfId(ids, count, entry.th32ParentProcessID);
            if (parent < 0 || indexOfId(ids, count, entry.th32ProcessID) >= 0) continue;
            HANDLE child = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                       entry.th32ProcessID);
            if (!child) continue;
            unsigned long long childCreated = creationTime(child);
            if (childCreated == 0 || childCreated < created[parent]) {
                CloseHandle(child);
                continue;
            }
            TerminateProcess(child, ERROR_TIMEOUT);
            held[count] = child;
            ids[count] = entry.th32ProcessID;
            created[count] = childCreated;
            ++count;
            found = true;
        }
        CloseHandle(snapshot);
        if (!found) break;
    }
    WaitForMultipleObjects((DWORD)count, held, TRUE, kToolEndWaitMs);
    for (int i = 1; i < count; ++i) CloseHandle(held[i]);
}

int RunToolProcess(wchar_t* commandLine, DWORD creationFlags, const STARTUPINFOW* startup, const HANDLE* handles,
                   size_t handleCount)
{
    int result = 0;
    bool inJob = false;
    PROCESS_INFORMATION process = {};
    HANDLE job = createToolJob();
    DWORD error = startInJob(job, commandLine, creationFlags, startup, handles, handleCount, &process, &inJob);
    if (error != ERROR_SUCCESS) {
        result = (int)error;
        goto done;
    }
    if (WaitForSingleObject(process.hProcess, gToolTimeLimit) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = 0;
        result = (int)exitCode;
    } else {
        // Whatever it wrote so far is not a result.
        result = kToolTimedOut;
    }
    if (inJob)
        endJob(job);
    else
        endProcessTree(process.hProcess);

done:
    closeProcess(&process);
    if (job) CloseHandle(job);
    return result;
}
