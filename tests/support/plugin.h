// Loads a private copy of the built plug-in the way the host does, so that
// each test starts from a pristine module (settings, latch, rotation state).
#pragma once
#include <windows.h>

#include <string>

#include "plugin/host_interface.h"

struct LoadedPlugin {
    HMODULE module = nullptr;
    std::wstring path; // where the copy stands
    ListGetPreviewBitmapWFn ListGetPreviewBitmapW = nullptr;
    ListGetDetectStringFn ListGetDetectString = nullptr;
    ListSetDefaultParamsFn ListSetDefaultParams = nullptr;
    ListLoadWFn ListLoadW = nullptr;
    ListLoadFn ListLoad = nullptr;
    ListCloseWindowFn ListCloseWindow = nullptr;
};

// The freshly built plug-in beside the test executable.
std::wstring BuiltPluginPath();
// Copies the built plug-in into `folder` (ending in a backslash) as
// `fileName` (default vistrel.wlx64) and loads it. Fails the current test
// and leaves `module` null when it cannot.
bool LoadPluginCopy(const std::wstring& folder, LoadedPlugin* plugin,
                    const std::wstring& fileName = L"vistrel.wlx64");
void UnloadPlugin(LoadedPlugin* plugin);

// Convenience for thumbnail calls with a const path.
HBITMAP RequestThumbnail(const LoadedPlugin& plugin, const std::wstring& file, int width, int height);
