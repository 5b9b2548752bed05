// The loader run in this program, with the module name pointed into a
// scratch folder so that each test has a settings file of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "box_recorder.h"
#include "support/file_times.h"
#include "support/ini_text.h"
#include "support/scratch.h"
#include "settings/extensions.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "settings/settings_keys.h"
#include "settings/settings_testing.h"
#include "settings/settings_upgrade.h"

namespace {

const wchar_t kVersionKey[] = L"vistrel Version (internal only: do not modify)";
const wchar_t kReminder[] =
    L"DEBUG WCHAR*: 'Remainder: bADSForceRefreshini is set to 1 on the ini file. This variable should be used "
    L"temporary for debugging purpose only. You should disable it once you are done refreshing.'";
const wchar_t kCannotWork[] = L"This plugin cannot and will not work without it.";

// What a load must leave in the file for a key with the built-in default.
std::wstring expectedDefault(const SettingKey& key, const std::wstring& folder)
{
    return key.type == kSettingToolPath ? folder + key.defaultValue : key.defaultValue;
}

// Coarse file-system clocks can give an edit the time of the previous
// write; a user's edit comes seconds later, so move the time on. The
// access time goes past it, or every read would move it again (relatime).
void touchLater(const std::wstring& path)
{
    FileTimes times;
    ASSERT_TRUE(GetTimes(path, &times));
    EXPECT_TRUE(MoveTimesAfter(path, times.write, 2));
}

class SettingsLoad : public ::testing::Test {
protected:
    std::unique_ptr<ScratchDir> dir;
    std::wstring folder;
    std::wstring moduleName;
    std::wstring ini;

    void SetUp() override { useFolder(L"load"); }
    void TearDown() override
    {
        ResetSettingsForTests();
        dir.reset();
    }
    void useFolder(const std::wstring& name)
    {
        ResetSettingsForTests();
        dir.reset(new ScratchDir(name));
        folder = dir->path;
        moduleName = folder + L"vistrel.wlx64";
        ini = folder + L"vistrel.ini";
        SetSettingsModuleNameForTests(moduleName.c_str());
    }
    void writeIni(const std::wstring& body)
    {
        ASSERT_TRUE(WriteFileBytes(ini, Utf16Bytes(L"[vistrel]\r\n" + body)));
        touchLater(ini);
    }
    // A user's edit: one key set to a value, or removed with `remove`.
    void editKey(const std::wstring& key, const std::wstring& value, bool remove = false)
    {
        ASSERT_TRUE(WritePrivateProfileStringW(L"vistrel", key.c_str(), remove ? NULL : value.c_str(), ini.c_str()));
        touchLater(ini);
    }
};

} // namespace

TEST_F(SettingsLoad, FirstCallCreatesAUnicodeFileWithEveryKeyInOrder)
{
    ASSERT_EQ(IniFileOp(), 2);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(ini, &bytes));
    EXPECT_TRUE(IsUtf16(bytes));

    std::vector<std::wstring> lines = IniFileLines(ini);
    ASSERT_EQ(lines.size(), (size_t)kSettingKeyCount + 2);
    EXPECT_EQ(lines[0], L"[vistrel]");
    EXPECT_EQ(lines[1], std::wstring(kVersionKey) + L"=" + VersionText(kCurrentSettingsVersion));
    for (int i = 0; i < kSettingKeyCount; ++i) {
        const SettingKey& key = gSettingKeys[i];
        EXPECT_EQ(lines[i + 2], std::wstring(key.name) + L"=" + expectedDefault(key, folder));
    }
    EXPECT_TRUE(RecordedBoxes().empty());

    // The values in memory are the defaults.
    EXPECT_EQ(std::wstring(szFfmpegPath), folder + L"bin\\ffmpeg\\ffmpeg.exe");
    EXPECT_EQ(std::wstring(szIrfanviewPath), folder + L"bin\\IrfanView_64\\i_view64.exe");
    EXPECT_STREQ(szFontColor, L"dddddd");
    EXPECT_STREQ(szListerExclusionList, L"djvu, pdf");
    EXPECT_TRUE(bListerSupport);
    EXPECT_FALSE(bADS);
    EXPECT_FALSE(bDebug);
    EXPECT_EQ(gTextLine3YPos, 84);
    EXPECT_EQ(gListerCloseTempFileSleepTimeInMS, 250);
    EXPECT_DOUBLE_EQ(gPercentPosition, 17.4);
    EXPECT_DOUBLE_EQ(gAudioTimeMaxInSecs, 900.0);
    EXPECT_EQ(gVideoExtensions.count, 96);
    EXPECT_EQ(gListerExcludedExtensions.count, 2);

    // The load's own writes moved the file's times; the load after them
    // finds nothing to write, and from then on the file is unchanged.
    EXPECT_NE(IniFileOp(), 0);
    std::string after;
    ASSERT_TRUE(ReadFileBytes(ini, &after));
    EXPECT_EQ(after, bytes);
    EXPECT_EQ(IniFileOp(), 1);
    EXPECT_EQ(IniFileOp(), 1);
}

TEST_F(SettingsLoad, UserEditReloadsEveryKey)
{
    ASSERT_EQ(IniFileOp(), 2);
    while (IniFileOp() != 1) {
    }
    editKey(L"FontSize (int)", L"20");
    editKey(L"Debug (bool)", L"", true);
    editKey(L"Videos extension list (chars)", L"mkv");
    ASSERT_EQ(IniFileOp(), 2);
    EXPECT_EQ(gFontSize, 20);
    EXPECT_FALSE(bDebug);
    EXPECT_EQ(IniValueInFile(ini, L"Debug (bool)"), L"0"); // written back
    EXPECT_EQ(ClassifyMediaKind(L"mkv"), kMediaVideo);
    EXPECT_EQ(ClassifyMediaKind(L"avi"), kMediaNone); // a user's list is kept
    EXPECT_EQ(IniValueInFile(ini, L"Videos extension list (chars)"), L"mkv");

    editKey(L"Debug (bool)", L"1");
    ASSERT_EQ(IniFileOp(), 2);
    EXPECT_TRUE(bDebug);
    EXPECT_EQ(gFontSize, 20);
}

TEST_F(SettingsLoad, OldVersionReplacesTheListsOnce)
{
    struct Case {
        const wchar_t* versionLine;
        bool replaced;
    } cases[] = {
        {L"20210400", true},
        {L"abc", true},
        {L"", true},
        {L"20210401", false},
        {L"20210405", false},
        {L"20300101", false},
    };
    for (const Case& c : cases) {
        std::string label = ::testing::PrintToString(std::wstring(c.versionLine));
        useFolder(L"upgrade");
        writeIni(std::wstring(kVersionKey) + L"=" + c.versionLine +
                 L"\r\nVideos extension list (chars)=xyz\r\nLister extension exclusion(!) list (chars)=NULL\r\n"
                 L"FontColor (chars)=abcdef\r\n");
        ASSERT_EQ(IniFileOp(), 2) << label;
        if (c.replaced) {
            EXPECT_EQ(gVideoExtensions.count, 96) << label;
            EXPECT_EQ(ClassifyMediaKind(L"xyz"), kMediaNone) << label;
            EXPECT_STREQ(szListerExclusionList, L"djvu, pdf");
            EXPECT_EQ(IniValueInFile(ini, L"Lister extension exclusion(!) list (chars)"), L"djvu, pdf") << label;
            EXPECT_EQ(IniValueInFile(ini, L"Videos extension list (chars)").substr(0, 9), L"3g2, 3gp,") << label;
        } else {
            EXPECT_EQ(gVideoExtensions.count, 1) << label;
            EXPECT_EQ(ClassifyMediaKind(L"xyz"), kMediaVideo) << label;
            // "NULL": nothing excluded, and the file keeps the sentinel.
            EXPECT_EQ(gListerExcludedExtensions.count, 0) << label;
            EXPECT_EQ(ClassifyListerMediaKind(L"pdf"), kMediaImage) << label;
            EXPECT_EQ(IniValueInFile(ini, L"Lister extension exclusion(!) list (chars)"), L"NULL") << label;
        }
        // Other keys are never forced.
        EXPECT_STREQ(szFontColor, L"abcdef") << label;
        EXPECT_EQ(IniValueInFile(ini, kVersionKey), VersionText(kCurrentSettingsVersion)) << label;

        // Once upgraded, a user's new list stays.
        editKey(L"Videos extension list (chars)", L"abc");
        ASSERT_EQ(IniFileOp(), 2) << label;
        EXPECT_EQ(ClassifyMediaKind(L"abc"), kMediaVideo) << label;
    }
}

// `text` followed by ", <extension>" for each addition to `list` that is
// not in `present`.
std::wstring withAdditions(std::wstring text, const wchar_t* list, const std::set<std::wstring>& present = {})
{
    static ExtensionTable added; // too big for the stack
    for (const ListAddition& row : kListAdditions) {
        ParseExtensionList(row.list == list ? row.extensions : L"", &added);
        for (int i = 0; i < added.count; ++i)
            if (!present.count(added.entries[i])) text += std::wstring(L", ") + added.entries[i];
    }
    return text;
}

TEST_F(SettingsLoad, NewerFormatsJoinTheUsersListsOnce)
{
    const std::wstring images = L"Images extension list (chars)", audios = L"Audios extension list (chars)";
    const std::wstring old = L"20210405", current = VersionText(kCurrentSettingsVersion);
    const std::wstring full(kSettingsChars - 2, L'a'); // no room for one more
    struct Case {
        std::wstring version, videos, images, audios; // as the user left them
        std::wstring imagesAfter, audiosAfter;
    } const cases[] = {
        {old, L"mp4", L"jpg,png ,  MyRaw", L"mp3", withAdditions(L"jpg,png ,  MyRaw", szImagesExtensionList),
         withAdditions(L"mp3", szAudiosExtensionList)},
        // In another list, in another case or spelt with spaces: not added.
        {old, L"mp4, HEIC", L"j x l", L"mka", withAdditions(L"j x l", szImagesExtensionList, {L"heic", L"jxl"}),
         withAdditions(L"mka", szAudiosExtensionList, {L"mka"})},
        {old, L"mp4", L"NULL", L"mp3", L"NULL", withAdditions(L"mp3", szAudiosExtensionList)}, // turned off
        {old, L"mp4", full, L"mp3", full, withAdditions(L"mp3", szAudiosExtensionList)},
        {current, L"mp4", L"jpg", L"mp3", L"jpg", L"mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.version + L" " + c.images.substr(0, 20)));
        useFolder(L"additions");
        writeIni(std::wstring(kVersionKey) + L"=" + c.version + L"\r\nVideos extension list (chars)=" + c.videos +
                 L"\r\n" + images + L"=" + c.images + L"\r\n" + audios + L"=" + c.audios + L"\r\n");
        ASSERT_EQ(IniFileOp(), 2);
        EXPECT_EQ(IniValueInFile(ini, images), c.imagesAfter);
        EXPECT_EQ(IniValueInFile(ini, audios), c.audiosAfter);
        EXPECT_EQ(IniValueInFile(ini, L"Videos extension list (chars)"), c.videos);
        EXPECT_EQ(IniValueInFile(ini, kVersionKey), current);
        static ExtensionTable inFile; // in force at once
        ParseExtensionList(c.audiosAfter.c_str(), &inFile);
        EXPECT_EQ(gAudioExtensions.count, inFile.count);
        // Once: what the user removes afterwards stays removed.
        while (IniFileOp() != 1) {
        }
        editKey(audios, L"mp3");
        ASSERT_EQ(IniFileOp(), 2);
        EXPECT_EQ(IniValueInFile(ini, audios), L"mp3");
    }
}

TEST_F(SettingsLoad, ReminderWhenStreamRefreshIsForced)
{
    struct Case {
        const wchar_t* ads;
        const wchar_t* force;
        const wchar_t* debug;
        bool reminder;
    } cases[] = {
        {L"1", L"1", L"0", true},
        {L"1", L"1", L"1", true},
        {L"1", L"0", L"1", false},
        {L"0", L"1", L"1", false},
    };
    for (const Case& c : cases) {
        useFolder(L"reminder");
        writeIni(std::wstring(kVersionKey) + L"=20210405\r\nADS (bool)=" + c.ads + L"\r\nADS force refresh (bool)=" +
                 c.force + L"\r\nDebug (bool)=" + c.debug + L"\r\n");
        ClearRecordedBoxes();
        ASSERT_EQ(IniFileOp(), 2);
        if (!c.reminder) {
            EXPECT_TRUE(RecordedBoxes().empty());
            continue;
        }
        ASSERT_EQ(RecordedBoxes().size(), 1u);
        EXPECT_EQ(RecordedBoxes()[0].caption, L"debug");
        EXPECT_EQ(RecordedBoxes()[0].text, kReminder);
        // Shown on every load, none while the file is unchanged.
        while (IniFileOp() == 2) {
        }
        ClearRecordedBoxes();
        EXPECT_EQ(IniFileOp(), 1);
        EXPECT_TRUE(RecordedBoxes().empty());
        editKey(L"FontSize (int)", L"12");
        ASSERT_EQ(IniFileOp(), 2);
        EXPECT_EQ(RecordedBoxes().size(), 1u);
    }
}

TEST_F(SettingsLoad, PathThatCannotBeFormedLatches)
{
    std::wstring tooLong = folder + std::wstring(300, L'x') + L".wlx64";
    SetSettingsModuleNameForTests(tooLong.c_str());
    EXPECT_EQ(IniFileOp(), 0);
    ASSERT_EQ(RecordedBoxes().size(), 1u);
    EXPECT_EQ(RecordedBoxes()[0].text,
              std::wstring(L"Error\nError: could not get the ini file path\n\n") + kCannotWork);
    EXPECT_EQ(RecordedBoxes()[0].caption, L"");

    // Silent from then on, even if the name became usable.
    SetSettingsModuleNameForTests(moduleName.c_str());
    EXPECT_EQ(IniFileOp(), 0);
    EXPECT_EQ(IniFileOp(), 0);
    EXPECT_EQ(RecordedBoxes().size(), 1u);
    EXPECT_FALSE(FileExists(ini));
}

TEST_F(SettingsLoad, MissingFolderIsReportedOnceUntilTheSettingsWork)
{
    std::wstring sub = folder + L"later\\";
    std::wstring subModule = sub + L"vistrel.wlx64";
    SetSettingsModuleNameForTests(subModule.c_str());
    const std::wstring box = std::wstring(L"Error\nError: could not find the ini file\n\n") + kCannotWork;

    EXPECT_EQ(IniFileOp(), 0);
    EXPECT_STREQ(SettingsFilePathForTests(), L""); // formed again next time
    EXPECT_EQ(IniFileOp(), 0);
    ASSERT_EQ(RecordedBoxes().size(), 1u);
    EXPECT_EQ(RecordedBoxes()[0].text, box);

    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), NULL));
    EXPECT_EQ(IniFileOp(), 2);
    EXPECT_EQ(std::wstring(SettingsFilePathForTests()), sub + L"vistrel.ini");
    EXPECT_EQ(std::wstring(szFfprobePath), sub + L"bin\\ffmpeg\\ffprobe.exe");

    // Usable once: the same failure later is told again, once.
    ASSERT_TRUE(RemoveTree(sub));
    EXPECT_EQ(IniFileOp(), 0);
    EXPECT_EQ(IniFileOp(), 0);
    EXPECT_EQ(RecordedBoxes().size(), 2u);
}

TEST_F(SettingsLoad, RefusedValueNamesItsKeyOnceUntilTheSettingsChange)
{
    editKey(L"ffmpegPath (chars)", L"C:\\" + std::wstring(300, L'p') + L".exe");
    ASSERT_EQ(IniFileOp(), 2);
    EXPECT_STREQ(szFfmpegPath, L"");
    // Neither the load after the plug-in's own writes nor a save that
    // changes nothing brings it back; an edit does.
    while (IniFileOp() != 1) {
    }
    touchLater(ini);
    EXPECT_EQ(IniFileOp(), 2);
    editKey(L"FontSize (int)", L"12");
    ASSERT_EQ(IniFileOp(), 2);
    ASSERT_EQ(RecordedBoxes().size(), 2u);
    EXPECT_EQ(RecordedBoxes()[1].text,
              L"Error\nffmpegPath (chars)\n\nThe value is longer than 259 characters and is not used.");
}

TEST_F(SettingsLoad, FileHeldOpenByAnEditorIsStillRead)
{
    ASSERT_EQ(IniFileOp(), 2);
    editKey(L"FontSize (int)", L"14");
    HANDLE editor = CreateFileW(ini.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
    ASSERT_NE(editor, INVALID_HANDLE_VALUE);
    EXPECT_EQ(IniFileOp(), 2);
    EXPECT_EQ(gFontSize, 14);
    while (IniFileOp() == 2) {
    }
    EXPECT_EQ(IniFileOp(), 1);
    CloseHandle(editor);
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(SettingsLoad, ReadOnlyFileIsUsedAsItIs)
{
    writeIni(std::wstring(kVersionKey) + L"=20210400\r\nVideos extension list (chars)=xyz\r\nFontSize (int)=\r\n"
                                         L"Debug (bool)=1\r\n");
    std::string before;
    ASSERT_TRUE(ReadFileBytes(ini, &before));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteBlocker blocker(ini);
    ASSERT_NE(blocker.file, INVALID_HANDLE_VALUE);

    ASSERT_EQ(IniFileOp(), 2);
    EXPECT_EQ(gFontSize, 11);
    EXPECT_TRUE(bDebug);
    EXPECT_EQ(gVideoExtensions.count, 96);
    EXPECT_EQ(std::wstring(szFfmpegPath), folder + L"bin\\ffmpeg\\ffmpeg.exe");
    EXPECT_EQ(IniFileOp(), 1);

    std::string after;
    ASSERT_TRUE(ReadFileBytes(ini, &after));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(SettingsLoad, ExistingAnsiFileKeepsItsEncoding)
{
    ASSERT_TRUE(WriteFileBytes(ini, "[vistrel]\r\nvistrel Version (internal only: do not modify)=20210405\r\n"
                                    "FontColor (chars)=abcdef\r\n"));
    ASSERT_EQ(IniFileOp(), 2);
    EXPECT_STREQ(szFontColor, L"abcdef");
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(ini, &bytes));
    EXPECT_FALSE(IsUtf16(bytes));
    EXPECT_NE(bytes.find("Debug (bool)=0"), std::string::npos);
}

TEST_F(SettingsLoad, FoldersBeyondTheAnsiCodePage)
{
    for (const wchar_t* name : {L"Плагин", L"插件目录", L"Ελληνικά-日本"}) {
        std::string label = ::testing::PrintToString(std::wstring(name));
        useFolder(name);
        ASSERT_EQ(IniFileOp(), 2) << label;
        EXPECT_EQ(std::wstring(SettingsFilePathForTests()), ini) << label;
        EXPECT_EQ(std::wstring(szFfmpegPath), folder + L"bin\\ffmpeg\\ffmpeg.exe") << label;
        EXPECT_EQ(IniValueInFile(ini, L"ffplayPath (chars)"), folder + L"bin\\ffmpeg\\ffplay.exe") << label;
        // Values written by the user in any script come back intact.
        editKey(L"AudioColorLeft (chars)", L"цвет");
        ASSERT_EQ(IniFileOp(), 2) << label;
        EXPECT_STREQ(szAudioColorLeft, L"цвет") << label;
    }
}

TEST_F(SettingsLoad, AnsiFileInAFolderBeyondTheAnsiCodePage)
{
    // Shipped or emptied before the first request; a comment, a user's value
    // and another section stay.
    const std::string ansi = "; by hand\r\n[vistrel]\r\nFontColor (chars)=caf\xE9\r\n[other]\r\nkey=1\r\n";
    for (int row = 0; row < 3; ++row) {
        const std::string start = row ? ansi : "";
        bool held = row == 2; // the file cannot be replaced
        SCOPED_TRACE(start.empty() ? "empty" : held ? "ANSI, held open" : "ANSI");
        useFolder(L"Плагин");
        ASSERT_TRUE(WriteFileBytes(ini, start));
        HANDLE holder = held ? CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                           OPEN_EXISTING, 0, NULL)
                             : INVALID_HANDLE_VALUE;
        ASSERT_EQ(IniFileOp(), 2);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        EXPECT_EQ(std::wstring(szFfmpegPath), folder + L"bin\\ffmpeg\\ffmpeg.exe");
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(ini, &bytes));
        EXPECT_EQ(IsUtf16(bytes), !held);
        // A value the file cannot hold is kept in memory only, never as '?'.
        EXPECT_EQ(IniValueInFile(ini, L"ffmpegPath (chars)"), held ? L"<missing>" : szFfmpegPath);
        EXPECT_EQ(IniValueInFile(ini, L"Debug (bool)"), L"0");
        if (!start.empty()) {
            EXPECT_EQ(IniFileText(ini).find(L"; by hand\r\n[vistrel]\r\nFontColor (chars)=café\r\n"), 0u);
            EXPECT_EQ(IniValueInFile(ini, L"key"), L"1");
        }
        EXPECT_EQ(FolderEntries(folder), std::set<std::wstring>{L"vistrel.ini"});
    }
}

TEST_F(SettingsLoad, FolderTooLongForTheToolPaths)
{
    // The settings file still fits, the default tool paths do not.
    std::wstring deep = folder;
    const size_t target = 245;
    ASSERT_LT(deep.size() + 2, target);
    while (deep.size() < target) {
        deep += std::wstring(std::min<size_t>(60, target - deep.size() - 1), L'd') + L"\\";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), NULL)) << GetLastError();
    }
    std::wstring deepModule = deep + L"vistrel.wlx64";
    ASSERT_LT(deep.size() + 11, (size_t)MAX_PATH);
    ASSERT_GT(deep.size() + 21, (size_t)MAX_PATH - 1);
    SetSettingsModuleNameForTests(deepModule.c_str());

    ASSERT_EQ(IniFileOp(), 2);
    EXPECT_STREQ(szFfmpegPath, L"");
    EXPECT_STREQ(szIrfanviewPath, L"");
    EXPECT_EQ(IniValueInFile(deep + L"vistrel.ini", L"ffmpegPath (chars)"), deep + L"bin\\ffmpeg\\ffmpeg.exe");
    EXPECT_STREQ(szFontColor, L"dddddd");
}

TEST(SettingsPath, BesideTheModuleWithTheIniExtension)
{
    struct Case {
        std::wstring module;
        std::wstring ini;
        std::wstring directory;
    } cases[] = {
        {L"C:\\plugins\\vistrel\\vistrel.wlx64", L"C:\\plugins\\vistrel\\vistrel.ini", L"C:\\plugins\\vistrel\\"},
        {L"C:\\plugins\\vistrel.wlx", L"C:\\plugins\\vistrel.ini", L"C:\\plugins\\"},
        {L"C:\\dot.ted\\name", L"C:\\dot.ted\\name.ini", L"C:\\dot.ted\\"},
        {L"C:\\a\\x.y.wlx64", L"C:\\a\\x.y.ini", L"C:\\a\\"},
        {L"\\\\server\\share\\v.wlx64", L"\\\\server\\share\\v.ini", L"\\\\server\\share\\"},
        {L"C:\\Плагин\\插件.wlx64", L"C:\\Плагин\\插件.ini", L"C:\\Плагин\\"},
        // The longest that fits, and one more.
        {L"C:\\" + std::wstring(252, L'n') + L".wlx64", L"C:\\" + std::wstring(252, L'n') + L".ini", L"C:\\"},
        {L"C:\\" + std::wstring(253, L'n') + L".wlx64", L"", L""},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        wchar_t ini[MAX_PATH], directory[MAX_PATH];
        int ok = FormSettingsPath(c.module.c_str(), ini, directory);
        std::string label = ::testing::PrintToString(c.module);
        EXPECT_EQ(ok, c.ini.empty() ? 0 : 1) << label;
        EXPECT_EQ(std::wstring(ini), c.ini) << label;
        EXPECT_EQ(std::wstring(directory), c.directory) << label;
    }
}
