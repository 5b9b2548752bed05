// The settings file as a user and the host meet it: created beside a
// private copy of the plug-in on the first request, kept in step with the
// user's edits, and left alone while nothing changes. Requests name a file
// of an unhandled type, so that they stop right after the settings load.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/box_watcher.h"
#include "support/file_times.h"
#include "support/plugin.h"
#include "support/ini_text.h"
#include "support/scratch.h"
#include "settings/settings_version.h"

namespace {

const wchar_t kVersionKey[] = L"vistrel Version (internal only: do not modify)";
const std::wstring kCurrentVersion = VersionText(kCurrentSettingsVersion);

// Every key in the order a new file holds them.
const wchar_t* const kKeys[] = {
    L"Videos extension list (chars)",
    L"Audios extension list (chars)",
    L"Images extension list (chars)",
    L"Comics extension list (chars)",
    L"Albums extension list (chars)",
    L"Lister extension exclusion(!) list (chars)",
    L"ffmpegPath (chars)",
    L"ffplayPath (chars)",
    L"ffprobePath (chars)",
    L"irfanviewPath (chars)",
    L"ListerSupport (bool)",
    L"ffmpegVideoPreInputParams (chars)",
    L"ffmpegVideoPostInputParams (chars)",
    L"ffmpegSharpenInputParams (chars)",
    L"ffmpegAudioPostInputParams (chars)",
    L"ffplayListerVideoPreInputParams (chars)",
    L"ffplayListerVideoOSDInputParams (chars)",
    L"ffplayListerAudioPreInputParams (chars)",
    L"irfanviewMidInputParam (chars)",
    L"irfanviewListerPreInputParams (chars)",
    L"ffmpegVideo_LR (chars)",
    L"ffmpegVideo_TB (chars)",
    L"ffmpegVideo_VR_LR (chars)",
    L"ffmpegVideo_VR_TB (chars)",
    L"ffmpegVideo_VR_180 (chars)",
    L"ffmpegVideo_VR_360 (chars)",
    L"AudioCoverHasPriority (bool)",
    L"AudioColorLeft (chars)",
    L"AudioColorRight (chars)",
    L"AudioTimeMaxInSecs (double)",
    L"AudioShowFadeInOut (bool)",
    L"AudioIdealFadeInOutInSecs (double)",
    L"AudioSeparatorThickness (int)",
    L"ffmpegAudioSmoothen (bool)",
    L"OverlayInfo (bool)",
    L"ffmpegVideoDrawTextAdditional (chars)",
    L"OverlayHideHoursIfZero (bool)",
    L"FontSize (int)",
    L"FontSizeLine2 (int)",
    L"FontSizeLine3 (int)",
    L"FontColor (chars)",
    L"TextLine1XPos (int)",
    L"TextLine1YPos (int)",
    L"TextLine2XPos (int)",
    L"TextLine2YPos (int)",
    L"TextLine3XPos (int)",
    L"TextLine3YPos (int)",
    L"3DSupport (bool)",
    L"PercentPosition (double)",
    L"UserRefreshTimeout (double)",
    L"PercentRotationStep (double)",
    L"ListerDirectorySupport (bool)",
    L"ListerCloseTempFileSleepTimeInMS (int)",
    L"ADS (bool)",
    L"ADS RefreshIfFileTimeChanged (bool)",
    L"ADS RefreshIfCmdChanged (bool)",
    L"ADS AlwaysSaveCache (bool)",
    L"ADS Multiple Thumbnail Sizes (bool)",
    L"ADS force refresh (bool)",
    L"ADS Ignore ADS Warning (bool)",
    L"Debug (bool)",
};
const size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

bool startsWith(const std::wstring& line, const std::wstring& prefix)
{
    return line.compare(0, prefix.size(), prefix) == 0;
}

// A user's edit comes well after the plug-in's last write; make sure a
// coarse file-system clock cannot give both the same time. The access time
// goes past it, or every read would move it again (relatime).
void writeAsUser(const std::wstring& path, const std::string& bytes)
{
    FileTimes before = {};
    GetTimes(path, &before);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    EXPECT_TRUE(MoveTimesAfter(path, before.write, 2));
}

std::wstring joinLines(const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    return text;
}

class SettingsLifecycle : public ::testing::Test {
protected:
    std::unique_ptr<ScratchDir> dir;
    std::wstring ini;
    LoadedPlugin plugin;
    BoxWatcher watcher;

    void SetUp() override { install(L"lifecycle"); }
    void TearDown() override { UnloadPlugin(&plugin); }

    void install(const std::wstring& folderName)
    {
        UnloadPlugin(&plugin);
        dir.reset(new ScratchDir(folderName));
        ASSERT_FALSE(dir->path.empty());
        ini = dir->path + L"vistrel.ini";
        ASSERT_TRUE(LoadPluginCopy(dir->path, &plugin));
    }
    // A request that ends right after the settings are made current.
    void request() { EXPECT_EQ(nullptr, RequestThumbnail(plugin, dir->path + L"notes.txt", 96, 96)); }
    // Requests until the plug-in's own writes have been loaded once more.
    void settle()
    {
        request();
        request();
    }
};

} // namespace

TEST_F(SettingsLifecycle, FirstRequestCreatesAUnicodeFileWithEveryKey)
{
    request();
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(ini, &bytes));
    EXPECT_TRUE(IsUtf16(bytes)) << "a new settings file is UTF-16LE with a byte-order mark";

    std::vector<std::wstring> lines = IniFileLines(ini);
    ASSERT_EQ(lines.size(), kKeyCount + 2);
    EXPECT_EQ(lines[0], L"[vistrel]");
    EXPECT_EQ(lines[1], std::wstring(kVersionKey) + L"=" + kCurrentVersion);
    for (size_t i = 0; i < kKeyCount; ++i) {
        std::wstring key = kKeys[i];
        EXPECT_TRUE(startsWith(lines[i + 2], key + L"=")) << "line " << i + 2;
    }
    EXPECT_EQ(IniValueInFile(ini, L"ffmpegPath (chars)"), dir->path + L"bin\\ffmpeg\\ffmpeg.exe");
    EXPECT_EQ(IniValueInFile(ini, L"irfanviewPath (chars)"), dir->path + L"bin\\IrfanView_64\\i_view64.exe");
    EXPECT_EQ(IniValueInFile(ini, L"Comics extension list (chars)"), L"cb7, cbr, cbt, cbz");
    EXPECT_EQ(IniValueInFile(ini, L"PercentPosition (double)"), L"17.4");
    EXPECT_EQ(IniValueInFile(ini, L"Debug (bool)"), L"0");
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST_F(SettingsLifecycle, LaterRequestsWriteNothing)
{
    request();
    std::string first;
    ASSERT_TRUE(ReadFileBytes(ini, &first));
    FileTimes written;
    ASSERT_TRUE(GetTimes(ini, &written));

    for (int i = 0; i < 4; ++i) {
        request();
        std::string now;
        ASSERT_TRUE(ReadFileBytes(ini, &now));
        EXPECT_EQ(now, first) << "request " << i + 2;
        FileTimes nowWritten;
        ASSERT_TRUE(GetTimes(ini, &nowWritten));
        EXPECT_TRUE(SameTime(nowWritten.write, written.write)) << "request " << i + 2;
    }
}

TEST_F(SettingsLifecycle, UserEditIsLoadedAndMissingKeysComeBack)
{
    settle();
    std::vector<std::wstring> kept;
    for (const std::wstring& line : IniFileLines(ini)) {
        if (startsWith(line, L"FontColor (chars)=")) continue; // the user deletes a key
        if (startsWith(line, L"FontSize (int)=")) {
            kept.push_back(L"FontSize (int)=30");
        } else if (startsWith(line, L"AudioColorLeft (chars)=")) {
            kept.push_back(L"AudioColorLeft (chars)="); // and empties another
        } else {
            kept.push_back(line);
        }
    }
    writeAsUser(ini, Utf16Bytes(joinLines(kept)));

    request();
    EXPECT_EQ(IniValueInFile(ini, L"FontColor (chars)"), L"dddddd");
    EXPECT_EQ(IniValueInFile(ini, L"AudioColorLeft (chars)"), L"7fffbe");
    EXPECT_EQ(IniValueInFile(ini, L"FontSize (int)"), L"30");
    EXPECT_EQ(IniFileLines(ini).size(), kKeyCount + 2);
}

TEST_F(SettingsLifecycle, OldVersionGetsTheBuiltInListsOnce)
{
    settle();
    std::wstring text = L"[vistrel]\r\n" + std::wstring(kVersionKey) +
                        L"=20210400\r\nVideos extension list (chars)=xyz\r\nAlbums extension list (chars)=zip\r\n"
                        L"FontSize (int)=30\r\n";
    writeAsUser(ini, Utf16Bytes(text));
    request();
    EXPECT_EQ(IniValueInFile(ini, kVersionKey), kCurrentVersion);
    EXPECT_EQ(IniValueInFile(ini, L"Videos extension list (chars)").substr(0, 14), L"3g2, 3gp, 4xm,");
    EXPECT_EQ(IniValueInFile(ini, L"Albums extension list (chars)"), L"apk, epub, jar, rar, waz, zip");
    EXPECT_EQ(IniValueInFile(ini, L"FontSize (int)"), L"30");

    // The version is current now: the user's lists stay.
    settle();
    std::vector<std::wstring> lines = IniFileLines(ini);
    for (std::wstring& line : lines) {
        if (startsWith(line, L"Videos extension list (chars)=")) line = L"Videos extension list (chars)=xyz";
    }
    writeAsUser(ini, Utf16Bytes(joinLines(lines)));
    settle();
    EXPECT_EQ(IniValueInFile(ini, L"Videos extension list (chars)"), L"xyz");
}

TEST_F(SettingsLifecycle, ReadOnlyFileIsNeverWritten)
{
    std::wstring text = L"[vistrel]\r\n" + std::wstring(kVersionKey) + L"=20210400\r\nFontSize (int)=\r\n";
    ASSERT_TRUE(WriteFileBytes(ini, Utf16Bytes(text)));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteBlocker blocker(ini);
    ASSERT_NE(blocker.file, INVALID_HANDLE_VALUE);
    std::string before;
    ASSERT_TRUE(ReadFileBytes(ini, &before));
    for (int i = 0; i < 3; ++i) request();
    std::string after;
    ASSERT_TRUE(ReadFileBytes(ini, &after));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST_F(SettingsLifecycle, ReminderWhileStreamRefreshIsForced)
{
    settle();
    std::vector<std::wstring> lines = IniFileLines(ini);
    for (std::wstring& line : lines) {
        if (line == L"ADS (bool)=0") line = L"ADS (bool)=1";
        if (line == L"ADS force refresh (bool)=0") line = L"ADS force refresh (bool)=1";
    }
    writeAsUser(ini, Utf16Bytes(joinLines(lines)));
    request();
    request(); // unchanged file: no second reminder
    std::vector<SeenBox> boxes = watcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"debug");
    EXPECT_EQ(boxes[0].text,
              L"DEBUG WCHAR*: 'Remainder: bADSForceRefreshini is set to 1 on the ini file. This variable should be "
              L"used temporary for debugging purpose only. You should disable it once you are done refreshing.'");
}

TEST_F(SettingsLifecycle, PluginInAFolderBeyondTheAnsiCodePage)
{
    for (const wchar_t* name : {L"Плагины", L"插件目录"}) {
        std::string label = ::testing::PrintToString(std::wstring(name));
        install(name);
        settle();
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(ini, &bytes)) << label;
        EXPECT_TRUE(IsUtf16(bytes)) << label;
        EXPECT_EQ(IniValueInFile(ini, L"ffprobePath (chars)"), dir->path + L"bin\\ffmpeg\\ffprobe.exe") << label;
        EXPECT_EQ(IniValueInFile(ini, kVersionKey), kCurrentVersion) << label;
        EXPECT_EQ(IniFileLines(ini).size(), kKeyCount + 2) << label;
        EXPECT_TRUE(watcher.boxes().empty()) << label;
    }
}

TEST_F(SettingsLifecycle, EachFailureIsToldOnceNotOncePerFile)
{
    const std::wstring toolMissing = L"File not found at specified location from ini";
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'p') + L".exe";
    struct Case {
        const char* label;
        std::wstring ffprobePath; // "": a folder stands where the settings file belongs
        std::vector<std::wstring> boxes;
    } const cases[] = {
        {"tools missing", L"C:\\nowhere\\ffprobe.exe", {toolMissing}},
        {"settings file cannot be made", L"", {L"Error: could not find the ini file"}},
        {"tool path too long", tooLong, {L"ffprobePath (chars)\n\nThe value is longer than 259 characters", toolMissing}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        install(L"storm");
        if (c.ffprobePath.empty()) {
            ASSERT_TRUE(CreateDirectoryW(ini.c_str(), NULL));
        } else {
            ASSERT_TRUE(WritePrivateProfileStringW(L"vistrel", L"ffprobePath (chars)", c.ffprobePath.c_str(), ini.c_str()));
        }
        size_t before = watcher.boxes().size();
        for (int i = 0; i < 6; ++i) {
            std::wstring video = dir->path + L"video" + std::to_wstring(i) + L".mp4";
            ASSERT_TRUE(WriteFileBytes(video, std::string(1000, 'v')));
            EXPECT_EQ(nullptr, RequestThumbnail(plugin, video, 96, 96));
        }
        std::vector<SeenBox> seen = watcher.boxes();
        ASSERT_EQ(seen.size() - before, c.boxes.size());
        for (size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_NE(seen[before + i].text.find(c.boxes[i]), std::wstring::npos) << Utf8(seen[before + i].text);
        }
    }
}
