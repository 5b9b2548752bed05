// A first use without setup: tool keys that still name their default place
// beside the plug-in take the programs the user already has. Each row
// plants empty files named like the tools (never run: requests name a file
// of no handled type, or stop at the missing ffmpeg) and reads what the
// settings file names afterwards. What a row changes outside its scratch
// folders (PATH, current folder, program folder, registry) is undone
// however the row ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/ini_text.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

const wchar_t* const kKeys[] = {L"ffmpegPath (chars)", L"ffplayPath (chars)", L"ffprobePath (chars)",
                                L"irfanviewPath (chars)"};
const wchar_t* const kDefaults[] = {L"bin\\ffmpeg\\ffmpeg.exe", L"bin\\ffmpeg\\ffplay.exe",
                                    L"bin\\ffmpeg\\ffprobe.exe", L"bin\\IrfanView_64\\i_view64.exe"};
const wchar_t* const kExes[] = {L"ffmpeg.exe", L"ffplay.exe", L"ffprobe.exe", L"i_view64.exe"};
const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

bool makeFile(const std::wstring& path)
{
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), NULL);
    return WriteFileBytes(path, "");
}

struct Undo {
    std::vector<std::function<void()>> steps;
    ~Undo()
    {
        for (auto step = steps.rbegin(); step != steps.rend(); ++step) (*step)();
    }
};

void appendToPath(Undo* undo, const std::wstring& entries)
{
    std::wstring path = EnvWide(L"PATH");
    undo->steps.push_back([path] { SetEnvironmentVariableW(L"PATH", path.c_str()); });
    SetEnvironmentVariableW(L"PATH", (path + L";" + entries).c_str());
}

// The converter's App Paths entry, in the current user's part.
void registerConverter(Undo* undo, const std::wstring& value)
{
    HKEY key = NULL;
    bool parentMade = RegOpenKeyExW(HKEY_CURRENT_USER, kAppPaths, 0, KEY_READ, &key) != ERROR_SUCCESS;
    if (!parentMade) RegCloseKey(key);
    std::wstring name = std::wstring(kAppPaths) + L"\\i_view64.exe";
    DWORD made = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key, &made));
    undo->steps.push_back([=] {
        if (made == REG_CREATED_NEW_KEY) RegDeleteKeyW(HKEY_CURRENT_USER, name.c_str());
        if (parentMade) RegDeleteKeyW(HKEY_CURRENT_USER, kAppPaths);
    });
    if (made == REG_CREATED_NEW_KEY)
        RegSetValueExW(key, NULL, 0, REG_EXPAND_SZ, (const BYTE*)value.c_str(), (DWORD)(value.size() + 1) * 2);
    RegCloseKey(key);
    ASSERT_EQ(made, (DWORD)REG_CREATED_NEW_KEY) << "this Wine prefix has the converter registered";
}

} // namespace

// Planted and expected, one letter per place: B beside the plug-in (the
// default place, where an unfound tool's key stays too), P a folder on PATH,
// I the converter's install folder, R its App Paths entry, U a missing path
// the user wrote for ffmpeg, X places never searched.
TEST(FoundTools, DefaultKeysTakeTheToolsTheUserHas)
{
    const struct {
        const char* label;
        std::wstring planted, expected; // expected: ffmpeg, ffplay, ffprobe, converter
    } rows[] = {
        {"on PATH only", L"P", L"PPPP"},
        {"converter installed only", L"I", L"BBBI"},
        {"converter registered only", L"R", L"BBBR"},
        {"beside the plug-in wins over PATH", L"BP", L"BBBB"},
        {"a path the user wrote stays", L"UP", L"UPPP"},
        {"nothing anywhere", L"", L"BBBB"},
        {"never the current folder or a relative entry", L"X", L"BBBB"},
    };
    BoxWatcher watcher;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ScratchDir home(L"found"), elsewhere(L"elsewhere");
        std::wstring ini = home.path + L"vistrel.ini";
        std::wstring onPath = elsewhere.path + L"on path\\", user = elsewhere.path + L"gone\\ffmpeg.exe";
        std::wstring installed = EnvWide(L"ProgramFiles") + L"\\IrfanView\\i_view64.exe";
        std::wstring registered = elsewhere.path + L"app\\i_view64.exe";
        LoadedPlugin plugin;
        Undo undo;
        for (wchar_t place : row.planted) {
            for (size_t t = 0; t < 4 && place == L'B'; ++t) ASSERT_TRUE(makeFile(home.path + kDefaults[t]));
            for (size_t t = 0; t < 4 && place == L'P'; ++t) ASSERT_TRUE(makeFile(onPath + kExes[t]));
            if (place == L'P') appendToPath(&undo, L"\"" + onPath + L"\"");
            if (place == L'I') {
                ASSERT_FALSE(FileExists(installed)) << "this Wine prefix has the converter installed";
                undo.steps.push_back([=] {
                    DeleteFileW(installed.c_str());
                    RemoveDirectoryW(installed.substr(0, installed.rfind(L'\\')).c_str());
                });
                ASSERT_TRUE(makeFile(installed));
            }
            if (place == L'R') {
                ASSERT_TRUE(makeFile(registered));
                SetEnvironmentVariableW(L"VSL_APP", (elsewhere.path + L"app").c_str());
                undo.steps.push_back([] { SetEnvironmentVariableW(L"VSL_APP", NULL); });
                ASSERT_NO_FATAL_FAILURE(registerConverter(&undo, L"\"%VSL_APP%\\i_view64.exe\""));
            }
            if (place == L'U') {
                ASSERT_TRUE(WritePrivateProfileStringW(L"vistrel", kKeys[0], user.c_str(), ini.c_str()));
            }
            if (place == L'X') {
                // In the current folder, below it as a relative PATH entry
                // names it, and folders named like the tools on PATH.
                for (const wchar_t* exe : kExes) {
                    ASSERT_TRUE(makeFile(elsewhere.path + exe) && makeFile(elsewhere.path + L"bin\\" + exe));
                    ASSERT_TRUE(makeFile(onPath + exe + L"\\inside"));
                }
                wchar_t folder[MAX_PATH] = {};
                GetCurrentDirectoryW(MAX_PATH, folder);
                std::wstring before = folder;
                undo.steps.push_back([before] { SetCurrentDirectoryW(before.c_str()); });
                ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.path.c_str()));
                appendToPath(&undo, L";.;bin;\"bin\";" + onPath);
                ASSERT_NO_FATAL_FAILURE(registerConverter(&undo, L"i_view64.exe"));
            }
        }
        undo.steps.push_back([&plugin] { UnloadPlugin(&plugin); });
        ASSERT_TRUE(LoadPluginCopy(home.path, &plugin));
        size_t boxes = watcher.boxes().size();
        for (int i = 0; i < 2; ++i) EXPECT_EQ(nullptr, RequestThumbnail(plugin, home.path + L"notes.txt", 96, 96));

        for (size_t t = 0; t < 4; ++t) {
            const wchar_t place = row.expected[t];
            std::wstring expected = place == L'P'   ? onPath + kExes[t]
                                    : place == L'I' ? installed
                                    : place == L'R' ? registered
                                    : place == L'U' ? user
                                                    : home.path + kDefaults[t];
            EXPECT_EQ(IniValueInFile(ini, kKeys[t]), expected) << Utf8(kKeys[t]);
        }
        EXPECT_EQ(watcher.boxes().size(), boxes);
        // A missing ffmpeg is told once, naming the path its key holds.
        std::wstring ffmpeg = IniValueInFile(ini, kKeys[0]);
        if (FileExists(ffmpeg)) continue;
        for (int i = 0; i < 3; ++i) {
            std::wstring video = home.path + L"video" + std::to_wstring(i) + L".mp4";
            ASSERT_TRUE(WriteFileBytes(video, std::string(1000, 'v')));
            EXPECT_EQ(nullptr, RequestThumbnail(plugin, video, 96, 96));
        }
        ASSERT_EQ(watcher.boxes().size(), boxes + 1);
        EXPECT_EQ(watcher.boxes().back().text,
                  L"Error\n" + ffmpeg + L"\n\nFile not found at specified location from ini");
    }
}
