// Scratch folders for tests: created beside the test executable (never in
// the temp folder) and removed with everything in them.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

// Folder of the running test executable, with a trailing backslash.
std::wstring ExeDirectory();
// Creates a new empty folder <exe dir>\scratch\<name>-<pid>-<n>\ ; `name`
// may hold any characters a file name can (non-ASCII included).
std::wstring MakeScratchDir(const std::wstring& name);
// Deletes a folder tree (read-only files included). Returns true on success.
bool RemoveTree(const std::wstring& path);
// Deletes a file, read-only or not, or a folder tree.
bool RemovePath(const std::wstring& path);
// Points TMP and TEMP at a new folder <temp>\<prefix>-<pid>\ and returns
// it ("" when the temp folder is unknown): what the plug-in and the tools
// it starts leave there is this program's doing, not another's.
std::wstring UsePrivateTempFolder(const std::wstring& prefix);
// Whole-file helpers.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool FileExists(const std::wstring& path);
// Names in a folder (trailing backslash), "." and ".." left out; empty when
// the folder cannot be listed.
std::set<std::wstring> FolderEntries(const std::wstring& folder);
// The path of the first file named `name` (ASCII case folded) in `folder`
// (trailing backslash) or any folder below it, "" when there is none.
// Linked folders are not entered.
std::wstring FindFileBelow(const std::wstring& folder, const std::wstring& name);
// Converts a Unix path (as scripts and CMake know it) to the Wine path Z:\...
std::wstring WinePathFromUnix(const std::string& unixPath);
// UTF-8 form of a wide text, for messages and logs.
std::string Utf8(const std::wstring& text);
// The non-empty lines of a UTF-8 text file (a log), oldest first; none
// when it cannot be read.
std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path);
// Environment variable as a wide string, "" when unset.
std::wstring EnvWide(const wchar_t* name);

// Removes the folder when the test scope ends.
struct ScratchDir {
    std::wstring path;
    explicit ScratchDir(const std::wstring& name) : path(MakeScratchDir(name)) {}
    ~ScratchDir() { RemoveTree(path); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
};

// Keeps writers out of a file while it lives. A read-only attribute alone
// does not stop them when Wine runs as root.
struct WriteBlocker {
    HANDLE file;
    explicit WriteBlocker(const std::wstring& path)
        : file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL))
    {
    }
    ~WriteBlocker()
    {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    WriteBlocker(const WriteBlocker&) = delete;
    WriteBlocker& operator=(const WriteBlocker&) = delete;
};
