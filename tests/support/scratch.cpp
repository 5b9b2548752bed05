#include "scratch.h"

#include <windows.h>

#include <vector>

std::wstring ExeDirectory()
{
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH * 2);
    std::wstring p(path, n);
    size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L".\\" : p.substr(0, slash + 1);
}

std::wstring MakeScratchDir(const std::wstring& name)
{
    static unsigned counter = 0;
    std::wstring root = ExeDirectory() + L"scratch\\";
    CreateDirectoryW(root.c_str(), NULL);
    for (;;) {
        std::wstring dir = root + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                           std::to_wstring(++counter) + L"\\";
        if (CreateDirectoryW(dir.c_str(), NULL)) return dir;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    }
}

bool RemoveTree(const std::wstring& path)
{
    if (path.empty()) return false;
    std::wstring dir = path;
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = dir + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(dir.c_str()) != 0;
}

bool RemovePath(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return RemoveTree(path);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
}

std::wstring UsePrivateTempFolder(const std::wstring& prefix)
{
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return L"";
    std::wstring folder = std::wstring(temp, n) + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), NULL);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
    return folder;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got) bytes->append(buffer, got);
    CloseHandle(file);
    return true;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::set<std::wstring> FolderEntries(const std::wstring& folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::wstring FindFileBelow(const std::wstring& folder, const std::wstring& name)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return L"";
    std::wstring found;
    do {
        std::wstring entry = data.cFileName;
        if (entry == L"." || entry == L"..") continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (_wcsicmp(entry.c_str(), name.c_str()) == 0) found = folder + entry;
        } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            found = FindFileBelow(folder + entry + L"\\", name);
        }
    } while (found.empty() && FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

std::wstring WinePathFromUnix(const std::string& unixPath)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, unixPath.c_str(), -1, NULL, 0);
    std::vector<wchar_t> wide(n > 0 ? n : 1);
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, unixPath.c_str(), -1, wide.data(), n);
    std::wstring result = L"Z:";
    for (wchar_t* c = wide.data(); *c; ++c) result += (*c == L'/') ? L'\\' : *c;
    return result;
}

std::wstring EnvWide(const wchar_t* name)
{
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return (n > 0 && n < 32768) ? std::wstring(buffer, n) : std::wstring();
}

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, NULL, NULL);
    return out;
}

std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path)
{
    std::vector<std::wstring> result;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) return result;
    for (size_t at = 0, end; at < bytes.size(); at = end + 1) {
        end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        if (end == at) continue;
        std::wstring line(end - at, L'\0');
        line.resize(MultiByteToWideChar(CP_UTF8, 0, &bytes[at], (int)(end - at), &line[0], (int)line.size()));
        result.push_back(line);
    }
    return result;
}
