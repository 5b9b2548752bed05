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
    return window;
}

static HWND startAndFindWindow(const wchar_t* program, const wchar_t* commandLine)
{
    HANDLE process = StartProgramFindWindow(program, commandLine);
    if (process) CloseHandle(process);
    return gFoundWindow;
}

// The player opens at its default size and resizes once it knows the
// picture; taking the window in before that would let the player resize
// it afterwards, away from the Lister's size.
static void waitForPlayerSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    for (int poll = 0; poll < kSizePolls; ++poll) {
        if (client.right != kInitialPlayerWidth || client.bottom != kInitialPlayerHeight) return;
        Sleep(kSizePollMs);
        GetClientRect(window, &client);
    }
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
    HWND window = startAndFindWindow(szIrfanviewPath, szCommand);
    if (!window) return NULL;
    adoptWindow(window, listerWindow, NULL);
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
    HWND window = startAndFindWindow(szFfplayPath, szCommand);
    if (!window) return NULL;
    waitForPlayerSize(window);
    adoptWindow(window, listerWindow, &area);
    // These draw nothing new by themselves after the move: a waveform or a
    // still picture would stay blank until the next repaint.
    if (kind == kMediaAudio || IsStereoPicture(gFileExtension)) InvalidateRect(window, NULL, TRUE);
    return window;
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
    if (path[length - 1] == L'\\') return bListerDirectorySupport ? makeDirectoryPlaceholder(listerWindow) : NULL;
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
    // A negative value would be an endless wait in Sleep's unsigned terms.
    if (strpos(szTitle, szTemp, false, 1) > 0 && gListerCloseTempFileSleepTimeInMS > 0)
        Sleep((DWORD)gListerCloseTempFileSleepTimeInMS);
}
