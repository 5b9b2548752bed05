// Test entry point shared by the test programs. Besides running the tests,
// it fails any test that leaves something behind in the temp folder, and
// removes what it left so that one fault does not fail every later test.
// Each test program gets a temp folder of its own (TMP and TEMP point into
// the system's one), so that programs running side by side do not see each
// other's files; the plug-in and the tools it starts use it too.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "scratch.h"

static std::wstring tempFolder()
{
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, path);
    return (n > 0 && n <= MAX_PATH) ? std::wstring(path, n) : std::wstring();
}

class TempFolderGuard : public ::testing::EmptyTestEventListener {
    std::wstring folder_ = tempFolder();
    std::set<std::wstring> before_;

    void OnTestStart(const ::testing::TestInfo&) override { before_ = FolderEntries(folder_); }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        for (const std::wstring& name : FolderEntries(folder_)) {
            if (before_.count(name)) continue;
            ADD_FAILURE() << "left in the temp folder: " << Utf8(name);
            std::wstring path = folder_ + name;
            if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        }
    }
};

static std::wstring usePrivateTempFolder()
{
    std::wstring folder = tempFolder() + L"vsltest-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), NULL);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
    return folder;
}

int main(int argc, char** argv)
{
    std::wstring privateTemp = usePrivateTempFolder();
    // No error dialogs from the system: a missing file must not block a run.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TempFolderGuard);
    int result = RUN_ALL_TESTS();
    RemoveTree(ExeDirectory() + L"scratch\\");
    RemoveTree(privateTemp);
    return result;
}
