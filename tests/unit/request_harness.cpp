#include "request_harness.h"

#include <gtest/gtest.h>

#include "cache/stream_cache.h"
#include "plugin/file_info.h"
#include "plugin/pipeline.h"
#include "plugin/rotation.h"
#include "plugin/state.h"
#include "settings/settings_testing.h"
#include "support/scratch.h"

extern "C" HBITMAP __stdcall ListGetPreviewBitmapW(WCHAR* FileToLoad, int width, int height, char* contentbuf,
                                                   int contentbuflen);

static std::wstring gModuleName;



void UseSettingsIn(const std::wstring& folder, const SettingsValues& values)
{
    ResetSettingsForTests();
    gModuleName = folder + L"vistrel.wlx64";
    SetSettingsModuleNameForTests(gModuleName.c_str());
    for (const auto& kv : values) ChangeSetting(folder, kv.first, kv.second);
}

void ChangeSetting(const std::wstring& folder, const std::wstring& key, const std::wstring& value)
{
    std::wstring ini = folder + L"vistrel.ini";
    FileTimes before;
    bool existed = GetTimes(ini, &before);
    WritePrivateProfileStringW(L"vistrel", key.c_str(), value.c_str(), ini.c_str());
    // Two edits within the file system's time resolution must still be seen,
    // so a same-time edit moves the last-write time a second on.
    FileTimes after;
    if (!GetTimes(ini, &after)) return;
    bool sameTime = existed && SameTime(after.write, before.write);
    MoveTimesAfter(ini, after.write, sameTime ? 1 : 0);
}

void ForgetTestSettings()
{
    SetSettingsModuleNameForTests(nullptr);
    ResetSettingsForTests();
}

static StandInGenerator* gStandIn = nullptr;

static bool copyInto(const std::wstring& from, const wchar_t* to)
{
    std::string bytes;
    if (!ReadFileBytes(from, &bytes)) return false;
    HANDLE out = CreateFileW(to, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(out, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(out);
    return ok && written == bytes.size();
}

static int standIn(int kind, const wchar_t* source, wchar_t* out)
{
    StandInGenerator* g = gStandIn;
    ++g->calls;
    g->lastKind = kind;
    g->lastUsedCache = gUseADS;
    g->lastCacheFailed = gADSFailed;
    g->lastOut = out;
    g->lastPosition = PositionInForce();
    bool cache = gUseADS && g->handleCache;
    if (cache && !captureSourceTimes(source)) return 0;
    bool copied = copyInto(g->jpeg, out);
    if (g->touchSource && gUseADS) {
        // What NTFS does when a stream is written: a new last-write time.
        FileTimes now;
        GetTimes(source, &now);
        GetSystemTimeAsFileTime(&now.write);
        now.access = now.write;
        SetTimes(source, now);
    }
    if (cache) {
        writeCacheRecord();
        if (kind == 1 && gPositionActive) writeStoredPosition();
        if (!restoreSourceTimes(source)) return 0;
    }
    return copied && getFileSize64(out) > 0;
}

void InstallStandInGenerator(StandInGenerator* generator)
{
    gStandIn = generator;
    gGeneratorOverride = generator ? standIn : nullptr;
}

bool RequestThumbnailSize(const std::wstring& path, int width, int height, SIZE* size)
{
    std::wstring copy = path;
    HBITMAP bitmap = ListGetPreviewBitmapW(&copy[0], width, height, nullptr, 0);
    if (!bitmap) return false;
    BITMAP info;
    if (size && GetObjectW(bitmap, sizeof info, &info)) {
        size->cx = info.bmWidth;
        size->cy = info.bmHeight;
    }
    DeleteObject(bitmap);
    return true;
}

std::wstring FixtureJpeg()
{
    std::wstring images = EnvWide(L"VSL_TESTIMAGES");
    if (images.empty()) return L"";
    char narrow[1024];
    WideCharToMultiByte(CP_UTF8, 0, images.c_str(), -1, narrow, sizeof narrow, NULL, NULL);
    return WinePathFromUnix(narrow) + L"\\testorig.jpg";
}


std::wstring ReadProfile(const std::wstring& file, const std::wstring& key)
{
    wchar_t value[4096];
    GetPrivateProfileStringW(L"vistrel", key.c_str(), L"", value, 4096, file.c_str());
    return value;
}
