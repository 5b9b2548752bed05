#include "lister/lister_window.h"

#include <wchar.h>

#include "common/format.h"
#include "common/messages.h"
#include "common/strpos.h"
#include "lister/lister_commands.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "settings/extensions.h"
#include "settings/settings.h"
#include "tools/runner.h"
#include "tools/tool_check.h"

enum {
    kSizePolls = 100,
    kSizePollMs = 33,
    // The player's window before it knows the picture size.
    kInitialPlayerWidth = 640,
    kInitialPlayerHeight = 480,
    kTitleChars = 4096,
    kTempChars = 4096,
};

static const wchar_t kBatchProgram[] =
    L"The quick view starts its player and viewer without the command interpreter, but a batch file is always run "
    L"by it, and it would expand % and ! in the file's name. Please set the path of the program itself in the ini";

static const wchar_t kDirectoryText[] =
    L"\n\n\tDIRECTORY\n\n\n\t\t(Handled by vistrel WLX plugin to speed up\n\t\tQuickView browsing)\n\n"
    L"\t\tTo disable directories support:\n\t\tvsitrel.ini --> ListerDirectorySupport=0";

// Browsing folders in the quick view stays fast when the host gets a
// window of ours instead of asking every other plug-in.
static HWND makeDirectoryPlaceholder(HWND listerWindow)
{
    HWND window =
        CreateWindowExW(0, L"STATIC", L"vistrelWLX", 0, 0, 0, 4, 4, NULL, NULL, gModuleInstance, NULL);
    if (!window) return NULL;
    SetWindowTextW(window, kDirectoryText);
    SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
    SetParent(window, listerWindow);
    // Not taken in, it would stand visible on the desktop with no one to
    // close it.
    if (GetParent(window) != listerWindow) {
        DestroyWindow(window);
        return NULL;
    }
    return window;
}

// The program's window, with *process its handle (the caller closes it),
// or null with no handle.
static HWND startAndFindWindow(const wchar_t* program, const wchar_t* commandLine, HANDLE* process)
{
    *process = StartProgramFindWindow(program, commandLine);
    return *process ? gFoundWindow : NULL;
}

// The player opens at its default size and resizes once it knows the
// picture; taking the window in before that would let the player resize
// it afterwards, away from the Lister's size. False when the window went
// meanwhile (a player that cannot play the file ends soon after it opens):
// then there is nothing left to size, and nothing to wait for.
static bool waitForPlayerSize(HWND window, HANDLE process)
{
    RECT client = {};
    if (!GetClientRect(window, &client)) return false;
    for (int poll = 0; poll < kSizePolls; ++poll) {
        if (client.right != kInitialPlayerWidth || client.bottom != kInitialPlayerHeight) return true;
        if (WaitForSingleObject(process, kSizePollMs) != WAIT_TIMEOUT) return false;
        if (!GetClientRect(window, &client)) return false;
    }
    return true; // still at its first size: embedded all the same
}

// The host keeps the window it is given: one whose program has ended names
// nothing, or soon another program's window. A program that lost its window
// but runs on would play on unseen, with no one to close it; it is our child.
static HWND liveWindow(HWND window, HANDLE process)
{
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (running && IsWindow(window)) return window;
    if (running) TerminateProcess(process, 1);
    return NULL;
}

// Frame and caption go first, so that the window does not keep them as a
// child; `area` null leaves the window where it is.
static void adoptWindow(HWND window, HWND listerWindow, const RECT* area)
{
    SetWindowLongPtrW(window, GWL_STYLE, 0);
    if (area) MoveWindow(window, area->left, area->top, area->right, area->bottom, TRUE);
    SetParent(window, listerWindow);
    SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
}

static HWND embedImageViewer(HWND listerWindow, const wchar_t* path)
{
    wchar_t szCommand[kListerCommandChars];
    if (!BuildImageViewerCommand(path, szIrfanviewListerPreInputParams, szCommand)) return NULL;
    HANDLE process = NULL;
    HWND window = startAndFindWindow(szIrfanviewPath, szCommand, &process);
    if (!window) return NULL;
    adoptWindow(window, listerWindow, NULL);
    window = liveWindow(window, process);
    CloseHandle(process);
    return window;
}

static HWND embedPlayer(HWND listerWindow, const wchar_t* path, int kind)
{
    wchar_t szFilter[kListerCommandChars];
    wchar_t szCommand[kListerCommandChars];
    szFilter[0] = 0;
    if (kind == kMediaVideo && (bOverlayInfo || b3DSupport)) {
        ListerVideoSettings video = {b3DSupport, bOverlayInfo, szFfplayListerVideoOSDInputParams,
                                     {szFfmpegVideo_LR, szFfmpegVideo_TB, szFfmpegVideo_VR_LR, szFfmpegVideo_VR_TB,
                                      szFfmpegVideo_VR_180, szFfmpegVideo_VR_360}};
        if (!BuildListerVideoFilter(path, gFileExtension, &video, szFilter)) return NULL;
    }
    const wchar_t* preInput =
        kind == kMediaVideo ? szFfplayListerVideoPreInputParams : szFfplayListerAudioPreInputParams;
    if (!BuildPlayerCommand(preInput, path, szFilter, szCommand)) return NULL;

    RECT area = {};
    GetClientRect(listerWindow, &area);
    HANDLE process = NULL;
    HWND window = startAndFindWindow(szFfplayPath, szCommand, &process);
    if (!window) return NULL;
    if (waitForPlayerSize(window, process)) {
        adoptWindow(window, listerWindow, &area);
        // These draw nothing new by themselves after the move: a waveform
        // or a still picture would stay blank until the next repaint.
        if (kind == kMediaAudio || IsStereoPicture(gFileExtension)) InvalidateRect(window, NULL, TRUE);
    }
    window = liveWindow(window, process);
    CloseHandle(process);
    return window;
}

DWORD ListerCloseWaitMs(int setting)
{
    // A negative value would be an endless wait in Sleep's unsigned terms.
    if (setting <= 0) return 0;
    return setting > kMaxListerCloseWaitMs ? (DWORD)kMaxListerCloseWaitMs : (DWORD)setting;
}

HWND ListerLoad(HWND listerWindow, const wchar_t* path)
{
    gFoundWindow = NULL;
    if (!path) return NULL;
    size_t length = wcsnlen(path, kHostPathChars);
    if (length < 3 || length > 259) return NULL;

    if (!IniFileOp()) {
        if (bDebug) DebugOnlyBoxChars("IniFileOp failed");
        return NULL;
    }
    if (path[length - 1] == L'\\') {
        if (!bListerDirectorySupport) return NULL;
        // A box of the settings' lets the host go on: the Lister may have
        // closed meanwhile.
        if (!IsWindow(listerWindow)) return NULL;
        return makeDirectoryPlaceholder(listerWindow);
    }
    if (!bListerSupport) return NULL;

    CopyWide(gFileExtension, kHostPathChars, path);
    getFileExtension(gFileExtension);
    if (!gFileExtension[0]) return NULL;
    int kind = ClassifyListerMediaKind(gFileExtension);
    if (kind == kMediaNone || getFileSize64(path) <= 0) return NULL;
    if (kind != kMediaVideo && kind != kMediaAudio && kind != kMediaImage) return NULL;
    // The player is the one program every Lister view needs; its absence
    // is reported even for an image.
    if (!RequireTool(szFfplayPath)) return NULL;
    // Started directly so that the file's name reaches the program as it
    // is; a batch file would hand the whole command line to the
    // interpreter instead.
    const wchar_t* program = kind == kMediaImage ? szIrfanviewPath : szFfplayPath;
    if (IsBatchFile(program)) {
        ErrorBox(program, kBatchProgram);
        return NULL;
    }
    // A box above lets the host go on: the Lister may have closed meanwhile,
    // and a player started for it now would run with no window to live in
    // and no one to close it.
    if (!IsWindow(listerWindow)) return NULL;

    if (kind == kMediaImage) return embedImageViewer(listerWindow, path);
    return embedPlayer(listerWindow, path, kind);
}

void ListerClose(HWND listWindow)
{
    if (!listWindow) {
        DebugBoxChars("Warning: ListCloseWindow, ListWin == NULL");
        return;
    }
    // The title is read before the close message: a program that handles
    // it at once would leave no window, and no title, to read afterwards.
    wchar_t szTitle[kTitleChars];
    int titleLength = GetWindowTextW(listWindow, szTitle, kTitleChars);
    PostMessageW(listWindow, WM_CLOSE, 0, 0);

    wchar_t szTemp[kTempChars];
    DWORD tempLength = GetEnvironmentVariableW(L"TEMP", szTemp, kTempChars);
    if (tempLength == 0 || tempLength >= kTempChars) return;
    if (titleLength <= 0 || (DWORD)titleLength < tempLength) return;
    DWORD wait = ListerCloseWaitMs(gListerCloseTempFileSleepTimeInMS);
    if (wait > 0 && strpos(szTitle, szTemp, false, 1) > 0) Sleep(wait);
}
