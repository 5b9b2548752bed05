// Test entry point shared by the test programs. Besides running the tests,
// it fails any test that leaves something behind in the temp folder, and
// removes what it left so that one fault does not fail every later test.
// Each test program gets a temp folder of its own (TMP and TEMP point into
// the system's one), so that programs running side by side do not see each
// other's files; the plug-in and the tools it starts use it too.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <set>
#include <string>

#include "scratch.h"

class TempFolderGuard : public ::testing::EmptyTestEventListener {
    std::wstring folder_;
    std::set<std::wstring> before_;

    void OnTestStart(const ::testing::TestInfo&) override { before_ = FolderEntries(folder_); }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        for (const std::wstring& name : FolderEntries(folder_)) {
            if (before_.count(name)) continue;
            ADD_FAILURE() << "left in the temp folder: " << Utf8(name);
            RemovePath(folder_ + name);
        }
    }

public:
    explicit TempFolderGuard(const std::wstring& folder) : folder_(folder) {}
};

int main(int argc, char** argv)
{
    std::wstring privateTemp = UsePrivateTempFolder(L"vsltest");
    if (privateTemp.empty()) {
        fprintf(stderr, "the temp folder is unknown\n");
        return 1;
    }
    // No error dialogs from the system: a missing file must not block a run.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TempFolderGuard(privateTemp));
    int result = RUN_ALL_TESTS();
    RemoveTree(ExeDirectory() + L"scratch\\");
    RemoveTree(privateTemp);
    return result;
}
