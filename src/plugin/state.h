// Module-wide state of the thumbnail pipeline, read by the generators.
#pragma once
#include <windows.h>

enum { kHostPathChars = 260, kThumbOutChars = 296 };

extern HINSTANCE gModuleInstance;
extern wchar_t gFileExtension[kHostPathChars];
extern int gThumbWidth;
extern int gThumbHeight;
extern wchar_t gLastRequestPath[kHostPathChars];
extern int gLastSuccessTime;
extern bool gPositionActive;
extern double gCurrentPosition;
// Where the current request's generator writes its JPEG.
extern wchar_t szFileThumbsOUT[kThumbOutChars];
