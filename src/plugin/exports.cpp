// The six functions the host calls, on its own thread.
#include <windows.h>

#include <string.h>

#include "lister/lister_window.h"
#include "plugin/host_interface.h"
#include "plugin/pipeline.h"

// The host never calls from two threads, but it can call again on its own
// thread before a call has returned, since a message box runs a message
// loop that delivers the host's messages.
// A thumbnail request and a Lister open use the module-wide request state,
// the settings being loaded and the found window; one that arrives while
// either runs gets null at once, as for a file that is not handled.
// ListCloseWindow is always served:
// it touches none of that state, and refusing it would leave the embedded
// program running with no one left to close it.
static bool gCallInProgress;

extern "C" {

HBITMAP __stdcall ListGetPreviewBitmapW(WCHAR* FileToLoad, int width, int height, char* contentbuf,
                                        int contentbuflen)
{
    (void)contentbuf;
    (void)contentbuflen;
    if (gCallInProgress) return NULL;
    gCallInProgress = true;
    HBITMAP bitmap = ThumbnailRequest(FileToLoad, width, height);
    gCallInProgress = false;
    return bitmap;
}

void __stdcall ListGetDetectString(char* DetectString, int maxlen)
{
    static const char kDetect[] = "MULTIMEDIA";
    if (!DetectString || maxlen < 1) return;
    size_t n = sizeof kDetect - 1;
    if ((size_t)maxlen <= n) n = (size_t)maxlen - 1;
    memcpy(DetectString, kDetect, n);
    DetectString[n] = 0;
}

void __stdcall ListSetDefaultParams(ListDefaultParamStruct* dps)
{
    (void)dps;
}

HWND __stdcall ListLoadW(HWND ParentWin, WCHAR* FileToLoad, int ShowFlags)
{
    (void)ShowFlags;
    if (gCallInProgress) return NULL;
    gCallInProgress = true;
    HWND window = ListerLoad(ParentWin, FileToLoad);
    gCallInProgress = false;
    return window;
}

// The host prefers the wide entry; the narrow one is never served.
HWND __stdcall ListLoad(HWND ParentWin, char* FileToLoad, int ShowFlags)
{
    (void)ParentWin;
    (void)FileToLoad;
    (void)ShowFlags;
    return NULL;
}

void __stdcall ListCloseWindow(HWND ListWin)
{
    ListerClose(ListWin);
}

} // extern "C"
