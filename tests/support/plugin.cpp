#include "plugin.h"

#include <gtest/gtest.h>

#include "scratch.h"

std::wstring BuiltPluginPath()
{
    return ExeDirectory() + L"vistrel.wlx64";
}

bool LoadPluginCopy(const std::wstring& folder, LoadedPlugin* plugin, const std::wstring& fileName)
{
    *plugin = LoadedPlugin();
    plugin->path = folder + fileName;
    if (!CopyFileW(BuiltPluginPath().c_str(), plugin->path.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the plug-in to the scratch folder, error " << GetLastError();
        return false;
    }
    plugin->module = LoadLibraryW(plugin->path.c_str());
    if (!plugin->module) {
        ADD_FAILURE() << "LoadLibraryW failed, error " << GetLastError();
        return false;
    }
    HMODULE m = plugin->module;
    plugin->ListGetPreviewBitmapW = (ListGetPreviewBitmapWFn)(void*)GetProcAddress(m, "ListGetPreviewBitmapW");
    plugin->ListGetDetectString = (ListGetDetectStringFn)(void*)GetProcAddress(m, "ListGetDetectString");
    plugin->ListSetDefaultParams = (ListSetDefaultParamsFn)(void*)GetProcAddress(m, "ListSetDefaultParams");
    plugin->ListLoadW = (ListLoadWFn)(void*)GetProcAddress(m, "ListLoadW");
    plugin->ListLoad = (ListLoadFn)(void*)GetProcAddress(m, "ListLoad");
    plugin->ListCloseWindow = (ListCloseWindowFn)(void*)GetProcAddress(m, "ListCloseWindow");
    bool all = plugin->ListGetPreviewBitmapW && plugin->ListGetDetectString && plugin->ListSetDefaultParams &&
               plugin->ListLoadW && plugin->ListLoad && plugin->ListCloseWindow;
    if (!all) ADD_FAILURE() << "an export is missing";
    return all;
}

void UnloadPlugin(LoadedPlugin* plugin)
{
    if (plugin->module) FreeLibrary(plugin->module);
    plugin->module = nullptr;
}

HBITMAP RequestThumbnail(const LoadedPlugin& plugin, const std::wstring& file, int width, int height)
{
    std::wstring copy = file; // the host passes a writable buffer
    return plugin.ListGetPreviewBitmapW(&copy[0], width, height, nullptr, 0);
}
