// The six functions the host calls, on its own thread, one at a time.
#include <windows.h>

#include <string.h>

#include "lister/lister_window.h"
#include "plugin/host_interface.h"
#include "plugin/pipeline.h"

extern "C" {

HBITMAP __stdcall ListGetPreviewBitmapW(WCHAR* FileToLoad, int width, int height, char* contentbuf,
                                        int contentbuflen)
{
    (void)contentbuf;
    (void)contentbuflen;
    return ThumbnailRequest(FileToLoad, width, height);
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
    return ListerLoad(ParentWin, FileToLoad);
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
