// The host file manager's declarations of the plug-in interface, shared by
// the exports, the vistrel-host program and the tests that load the DLL.
#pragma once
#include <windows.h>

typedef struct {
    int size;
    DWORD PluginInterfaceVersionLow;
    DWORD PluginInterfaceVersionHi;
    char DefaultIniName[MAX_PATH];
} ListDefaultParamStruct;

typedef HBITMAP(__stdcall* ListGetPreviewBitmapWFn)(WCHAR*, int, int, char*, int);
typedef void(__stdcall* ListGetDetectStringFn)(char*, int);
typedef void(__stdcall* ListSetDefaultParamsFn)(ListDefaultParamStruct*);
typedef HWND(__stdcall* ListLoadWFn)(HWND, WCHAR*, int);
typedef HWND(__stdcall* ListLoadFn)(HWND, char*, int);
typedef void(__stdcall* ListCloseWindowFn)(HWND);
