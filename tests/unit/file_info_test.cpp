#include <gtest/gtest.h>

#include <string>

#include "plugin/file_info.h"
#include "plugin/state.h"
#include "support/scratch.h"

namespace {

std::wstring extensionOf(const std::wstring& path)
{
    wchar_t buffer[kHostPathChars];
    wcsncpy(buffer, path.c_str(), kHostPathChars - 1);
    buffer[kHostPathChars - 1] = 0;
    getFileExtension(buffer);
    return buffer;
}

TEST(FileExtension, IsTheLastDotOfTheFileNameOnly)
{
    struct Case {
        std::wstring path, extension;
    } cases[] = {
        {L"C:\\v\\movie.MP4", L"MP4"},
        {L"C:\\v\\movie.final.MKV", L"MKV"},
        {L"archive.tar.gz", L"gz"},
        {L"C:\\dir.mp4\\clip", L""},
        {L"C:/dir.mp4/clip", L""},
        {L"C:\\v\\clip.", L""},
        {L"C:\\v\\noextension", L""},
        {L"\\\\server\\share\\song.flac", L"flac"},
        {L"C:\\v\\.mp4", L"mp4"},
        {L"C:\\\u041c\u0443\u0437\u044b\u043a\u0430\\\u66f2.\u00e9xt", L"\u00e9xt"},
        {L"a." + std::wstring(254, L'e'), std::wstring(254, L'e')},
        {L"a." + std::wstring(255, L'e'), L""}, // with its dot longer than 255
    };
    for (const Case& c : cases) EXPECT_EQ(c.extension, extensionOf(c.path)) << Utf8(c.path);
}

TEST(FileSize, OfFilesStreamsAndWhatCannotBeOpened)
{
    ScratchDir dir(L"size");
    ASSERT_TRUE(WriteFileBytes(dir.path + L"five.bin", "12345"));
    ASSERT_TRUE(WriteFileBytes(dir.path + L"empty.bin", ""));
    ASSERT_TRUE(WriteFileBytes(dir.path + L"five.bin:preview.jpg", "123"));
    EXPECT_EQ(5, getFileSize64((dir.path + L"five.bin").c_str()));
    EXPECT_EQ(0, getFileSize64((dir.path + L"empty.bin").c_str()));
    EXPECT_EQ(3, getFileSize64((dir.path + L"five.bin:preview.jpg").c_str()));
    EXPECT_EQ(-1, getFileSize64((dir.path + L"missing.bin").c_str()));
    // Held open for writing without sharing: cannot be opened to read.
    HANDLE holder = CreateFileW((dir.path + L"five.bin").c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(-1, getFileSize64((dir.path + L"five.bin").c_str()));
    CloseHandle(holder);
}

} // namespace
