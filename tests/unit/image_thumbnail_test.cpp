// The image generator called directly, with the converter stand-in staged
// beside the real ffmpeg: its argument text, its temporary names and the
// limits of the paths it is given; and the stand-in's viewer mode.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "box_recorder.h"
#include "cache/stream_cache.h"
#include "common/format.h"
#include "generators/generators.h"
#include "generators/image_thumbnail.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "request_harness.h"
#include "settings/settings.h"
#include "support/media.h"
#include "support/scratch.h"
#include "tools/runner.h"

namespace {

std::wstring errorBoxText(const std::wstring& subject, const std::wstring& message)
{
    return L"Error\n" + subject + L"\n\n" + message;
}

std::wstring converterPath()
{
    return ToolsFolder() + L"bin\\IrfanView_64\\i_view64.exe";
}

TEST(ImageArguments, QuoteOnlyThePathsAndRefuseWhatDoesNotFit)
{
    wchar_t out[kFormatWideChars];
    ASSERT_TRUE(BuildImageArguments(out, L"C:\\a b\\in.png", 256, 192, L"/silent /jpgq=91", L"C:\\x.png:preview.jpg"));
    EXPECT_STREQ(L"\"C:\\a b\\in.png\" /resize=(256,192) /silent /jpgq=91 /convert=\"C:\\x.png:preview.jpg\"", out);
    std::wstring huge(4060, L'x');
    EXPECT_FALSE(BuildImageArguments(out, L"C:\\in.png", 256, 192, huge.c_str(), L"C:\\out.jpg"));
    EXPECT_STREQ(L"", out);
}

struct TemporaryFolder : ::testing::Test {
    ScratchDir dir{L"temp-names"};
    std::wstring savedTmp = EnvWide(L"TMP"), savedTemp = EnvWide(L"TEMP");
    void use(const std::wstring& folder)
    {
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"TMP", savedTmp.c_str());
        SetEnvironmentVariableW(L"TEMP", savedTemp.c_str());
    }
};

TEST_F(TemporaryFolder, UniqueNamesAreFreshUnreservedAndFitTheBuffer)
{
    // Two names drawn within one second (as the long-output route does)
    // must differ, since neither file exists yet.
    use(dir.path);
    wchar_t first[260], second[260];
    ASSERT_TRUE(MakeUniqueTempName(first, L"vsl", L"jpg"));
    ASSERT_TRUE(MakeUniqueTempName(second, L"vsl", L"jpg"));
    EXPECT_STRNE(first, second);
    std::wstring name = first;
    EXPECT_EQ(dir.path + L"vsl", name.substr(0, dir.path.size() + 3));
    EXPECT_EQ(L".jpg", name.substr(name.size() - 4));
    EXPECT_FALSE(FileExists(name)) << "the name is only chosen, not created";

    // Folder + "vsl" + "jpg" + 5 reaches 260 with a folder of 249 characters.
    for (size_t length : {248u, 249u}) {
        use(dir.path + std::wstring(length - dir.path.size() - 1, L'd') + L"\\");
        wchar_t out[260] = L"untouched";
        EXPECT_EQ(length == 248, MakeUniqueTempName(out, L"vsl", L"jpg")) << length;
        if (length == 249) {
            EXPECT_STREQ(L"untouched", out);
        }
    }
}

struct ImageGenerator : ::testing::Test {
    ScratchDir dir{L"image"};
    std::wstring record = dir.path + L"converter.log";
    std::wstring cacheIni = dir.path + L"cache.ini";
    std::wstring source;

    void SetUp() override
    {
        ASSERT_TRUE(FileExists(converterPath())) << "converter stand-in not staged; build first";
        UseSettingsIn(dir.path, {{L"irfanviewPath (chars)", converterPath()}});
        ASSERT_NE(0, IniFileOp());
        source = CopyMedia(L"icon.png", dir.path);
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", record.c_str());
        gThumbWidth = 64;
        gThumbHeight = 48;
        // The stream cache as the pipeline sets it up; a plain file serves
        // as the thumbnail stream.
        gUseADS = true;
        wcscpy(gStreamName, L":preview.jpg");
        wcscpy(gCacheSignature, L"12c");
        wcscpy(gFileThumbsCachedADS, cacheIni.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VSL_RECORD_FILE", NULL);
        gUseADS = false;
        ForgetTestSettings();
    }
    int make(std::wstring* output, const std::wstring& fileToLoad = L"")
    {
        wchar_t out[kThumbOutChars];
        wcscpy(out, output->c_str());
        DeleteFileW(record.c_str());
        ClearRecordedBoxes();
        int made = irfanviewGetImageThumbnail(source.c_str(), out, fileToLoad.c_str());
        *output = out;
        return made;
    }
    // Where the converter was told to write.
    std::wstring convertedTo() const
    {
        std::string bytes;
        ReadFileBytes(record, &bytes);
        size_t start = bytes.find("/convert=\"") + 10, end = bytes.find('"', start);
        std::wstring path(MultiByteToWideChar(CP_UTF8, 0, &bytes[start], (int)(end - start), NULL, 0), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, &bytes[start], (int)(end - start), &path[0], (int)path.size());
        return path;
    }
    std::wstring pathOfLength(size_t length, const std::wstring& extension) const
    {
        return dir.path + std::wstring(length - dir.path.size() - extension.size(), L'n') + extension;
    }
};

TEST_F(ImageGenerator, LongPathsTakeTheirRoutesAtTheLimits)
{
    for (size_t length : {260u, 261u}) {
        SCOPED_TRACE(length);
        std::wstring picture = L"\\\\?\\" + pathOfLength(length - 4, L".png");
        ASSERT_TRUE(CopyFileW(source.c_str(), picture.c_str(), FALSE));
        std::wstring out = dir.path + L"out.jpg";
        EXPECT_EQ(length == 260 ? 1 : 0, make(&out, picture));
        if (length == 261) {
            ASSERT_EQ(1u, RecordedBoxes().size());
            EXPECT_EQ(errorBoxText(picture, L"irfanviewGetImageThumbnail -> FileToLoadTMP) > _MAX_PATH"),
                      RecordedBoxes()[0].text);
        }
        DeleteFileW(picture.c_str());
    }
    // Over 250 characters the converter writes a temporary file instead,
    // which ends up copied into the output and is then removed.
    for (size_t length : {250u, 251u}) {
        SCOPED_TRACE(length);
        std::wstring out = pathOfLength(length, L".jpg");
        ASSERT_EQ(1, make(&out));
        EXPECT_GT(getFileSize64(out.c_str()), 0);
        EXPECT_EQ(L"|12c|64x48", ReadProfile(cacheIni, L":preview.jpg").substr(19));
        std::wstring target = convertedTo();
        if (length == 250) {
            EXPECT_EQ(out, target);
            EXPECT_TRUE(RecordedBoxes().empty());
        } else {
            EXPECT_EQ(EnvWide(L"TEMP") + L"vsl", target.substr(0, EnvWide(L"TEMP").size() + 3));
            EXPECT_FALSE(FileExists(target));
            ASSERT_EQ(1u, RecordedBoxes().size());
            EXPECT_EQ(errorBoxText(out, L"OutLimit > 250"), RecordedBoxes()[0].text);
        }
    }
    // When the converter cannot read the picture there is nothing to copy;
    // the times its reading stamped still go back.
    const FILETIME old = MakeFileTime(2021, 5, 4, 3, 2, 1, 1234567);
    source = CopyMedia(L"broken.png", dir.path);
    ASSERT_TRUE(SetTimes(source, {old, old, old}));
    std::wstring out = pathOfLength(251, L".jpg");
    EXPECT_EQ(0, make(&out));
    FileTimes now;
    ASSERT_TRUE(GetTimes(source, &now));
    EXPECT_TRUE(SameTime(old, now.access) && SameTime(old, now.write));
}

TEST_F(ImageGenerator, WithoutTheStreamCacheTheCallersFileGivesWayToAJpgName)
{
    gUseADS = false;
    std::wstring callers = EnvWide(L"TEMP") + L"vslAB12.tmp";
    ASSERT_TRUE(WriteFileBytes(callers, ""));
    std::wstring out = callers;
    ASSERT_EQ(1, make(&out));
    EXPECT_FALSE(FileExists(callers));
    EXPECT_EQ(out, convertedTo());
    EXPECT_EQ(L".jpg", out.substr(out.size() - 4));
    EXPECT_GT(getFileSize64(out.c_str()), 0);
    EXPECT_EQ(L"", ReadProfile(cacheIni, L":preview.jpg"));
    DeleteFileW(out.c_str()); // the caller's part
}

// The Lister view starts the converter as a viewer: a window of the class
// the window search knows, showing the picture until it is told to close.
TEST_F(ImageGenerator, TheStandInViewerShowsThePictureUntilClosed)
{
    std::wstring commandLine = L"0  \"" + MediaPath(L"alpha.png") + L"\" /silent /hide 7";
    HANDLE process = StartProgramFindWindow(converterPath().c_str(), commandLine.c_str());
    ASSERT_NE(nullptr, process);
    HWND window = gFoundWindow;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ("IrfanView", className);
    std::string logged;
    ReadFileBytes(record, &logged);
    EXPECT_EQ(Utf8(commandLine) + "\n", logged);

    // The picture comes after the window. Fitted into the landscape client
    // area, the portrait picture leaves black at the sides; its disc is
    // orange in the middle.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    auto pixelAt = [window](double x, double y) {
        RECT client;
        GetClientRect(window, &client);
        POINT at = {(LONG)(client.right * x), (LONG)(client.bottom * y)};
        ClientToScreen(window, &at);
        HDC screen = GetDC(NULL);
        COLORREF colour = GetPixel(screen, at.x, at.y);
        ReleaseDC(NULL, screen);
        return colour;
    };
    auto resembles = [](COLORREF colour, int r, int g, int b) {
        return abs(GetRValue(colour) - r) < 8 && abs(GetGValue(colour) - g) < 8 && abs(GetBValue(colour) - b) < 8;
    };
    bool orange = false;
    for (int i = 0; i < 100 && !orange; ++i) {
        Sleep(100);
        orange = resembles(pixelAt(0.5, 0.5), 0xff, 0x80, 0x00);
    }
    EXPECT_TRUE(orange) << std::hex << pixelAt(0.5, 0.5);
    EXPECT_TRUE(resembles(pixelAt(0.02, 0.5), 0, 0, 0)) << std::hex << pixelAt(0.02, 0.5);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 10000));
    CloseHandle(process);
}

} // namespace
