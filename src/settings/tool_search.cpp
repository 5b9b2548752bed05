#include "settings/tool_search.h"

#include <windows.h>

#include <wchar.h>

#include "common/format.h"
#include "settings/settings.h"
#include "settings/settings_readers.h"

// The longest value an environment variable can have, terminator included.
enum { kEnvironmentChars = 32768 };

static const wchar_t kAppPathsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

struct InstallFolder {
    const wchar_t* exeName;
    const wchar_t* variable; // names the program folder
    const wchar_t* folder;   // the installer's folder below it
};

// A 32-bit plug-in sees the 32-bit program folder as %ProgramFiles% and
// reaches the 64-bit one, where the 64-bit converter installs, only
// through %ProgramW6432%.
static const InstallFolder kInstallFolders[2] = {
    {L"i_view64.exe", L"ProgramFiles", L"IrfanView"},
    {L"i_view64.exe", L"ProgramW6432", L"IrfanView"},
};

// PATH as the host's environment holds it; one load at a time uses it.
static wchar_t gSearchPath[kEnvironmentChars];

// Drive letter, colon and separator, or a UNC share. Drive-relative
// ("C:tools"), rooted ("\tools") and relative folders depend on the host's
// current folder; device paths ("\\.\", "\\?\") could open a pipe.
static bool isAbsolutePath(const wchar_t* path)
{
    wchar_t c = path[0];
    bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    if (letter && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) return true;
    bool unc = (c == L'\\' || c == L'/') && (path[1] == L'\\' || path[1] == L'/');
    return unc && path[2] && wcschr(L"\\/.?", path[2]) == NULL;
}

// A regular file (a link is followed), neither a folder nor a device.
// Without backup semantics a folder does not open; no access is asked, so
// nothing is read or run and no sharing is disturbed.
static bool isProgramFile(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                   !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(file);
    return regular;
}

// `folder` (quotes around it dropped) joined with `exeName`, when that is
// a program file and the whole path fits.
static int takeFromFolder(const wchar_t* folder, const wchar_t* exeName, wchar_t* found, size_t capacity)
{
    found[0] = 0;
    bool quoted = folder[0] == L'"';
    if (quoted) ++folder;
    size_t length = wcslen(folder);
    if (quoted && length > 0 && folder[length - 1] == L'"') --length;
    if (length == 0 || length + 1 >= capacity || !isAbsolutePath(folder)) return 0;
    wmemcpy(found, folder, length);
    found[length] = 0;
    if (found[length - 1] != L'\\' && found[length - 1] != L'/') AppendWide(found, capacity, L"\\");
    if (!AppendWide(found, capacity, exeName) || !isProgramFile(found)) {
        found[0] = 0;
        return 0;
    }
    return 1;
}

static int searchPathFolders(const wchar_t* exeName, wchar_t* found, size_t capacity)
{
    DWORD n = GetEnvironmentVariableW(L"PATH", gSearchPath, kEnvironmentChars);
    if (n == 0 || n >= kEnvironmentChars) return 0;
    wchar_t* entry = gSearchPath;
    while (entry) {
        wchar_t* next = wcschr(entry, L';');
        if (next) *next++ = 0;
        if (takeFromFolder(entry, exeName, found, capacity)) return 1;
        entry = next;
    }
    return 0;
}

static int searchInstallFolders(const wchar_t* exeName, wchar_t* found, size_t capacity)
{
    for (const InstallFolder& place : kInstallFolders) {
        if (_wcsicmp(place.exeName, exeName) != 0) continue;
        wchar_t folder[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(place.variable, folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) continue;
        if (!AppendWide(folder, MAX_PATH, L"\\") || !AppendWide(folder, MAX_PATH, place.folder)) continue;
        if (takeFromFolder(folder, exeName, found, capacity)) return 1;
    }
    return 0;
}

// The program an installer registered under its file name. The value may
// be quoted and hold %variables%; RegGetValueW expands them within the
// buffer or fails.
static int takeAppPathsEntry(HKEY root, const wchar_t* exeName, wchar_t* found, size_t capacity)
{
    int taken = 0;
    HKEY key = NULL;
    wchar_t name[MAX_PATH];
    wchar_t value[MAX_PATH];
    DWORD bytes = sizeof value;
    size_t length;
    found[0] = 0;
    if (!CopyWide(name, MAX_PATH, kAppPathsKey) || !AppendWide(name, MAX_PATH, exeName)) goto done;
    if (RegOpenKeyExW(root, name, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        key = NULL;
        goto done;
    }
    if (RegGetValueW(key, NULL, NULL, RRF_RT_REG_SZ, NULL, value, &bytes) != ERROR_SUCCESS) goto done;
    value[MAX_PATH - 1] = 0;
    if (value[0] == L'"') {
        length = wcslen(value);
        if (length < 2 || value[length - 1] != L'"') goto done;
        value[length - 1] = 0;
        wmemmove(value, value + 1, length - 1);
    }
    if (!isAbsolutePath(value) || !CopyWide(found, capacity, value)) goto done;
    taken = isProgramFile(found) ? 1 : 0;
done:
    if (key) RegCloseKey(key);
    if (!taken) found[0] = 0;
    return taken;
}

// The current folder and relative PATH entries are never looked at: the
// host's current folder may be one just downloaded.
static int findInstalledTool(const wchar_t* exeName, wchar_t* found, size_t capacity)
{
    return searchPathFolders(exeName, found, capacity) || searchInstallFolders(exeName, found, capacity) ||
           takeAppPathsEntry(HKEY_CURRENT_USER, exeName, found, capacity) ||
           takeAppPathsEntry(HKEY_LOCAL_MACHINE, exeName, found, capacity);
}

int ReadToolPathSetting(const wchar_t* iniPath, const wchar_t* pluginDirectory, const SettingKey* key,
                        bool forceDefault)
{
    // Absolute, so that the tools are found whatever the host's current
    // folder; too long a folder leaves a default that is refused, unless
    // the program is found elsewhere.
    wchar_t defaultPath[kSettingsChars];
    defaultPath[0] = 0;
    AppendWide(defaultPath, kSettingsChars, pluginDirectory);
    AppendWide(defaultPath, kSettingsChars, key->defaultValue);
    wchar_t value[kSettingsChars];
    IniReadChars(iniPath, key->name, defaultPath, value, kSettingsChars, forceDefault);

    // Only a default that names nothing is searched for, so a load costs
    // nothing more once a program is there or named, and a path the user
    // wrote stays even while its program is missing.
    bool isDefault = wcscmp(value, defaultPath) == 0;
    if (isDefault && !(wcslen(value) < key->capacity && isProgramFile(value))) {
        const wchar_t* slash = wcsrchr(key->defaultValue, L'\\');
        const wchar_t* exeName = slash ? slash + 1 : key->defaultValue;
        wchar_t found[kSettingsPathChars];
        if (findInstalledTool(exeName, found, kSettingsPathChars)) {
            // Written so the user sees which program is used; a file that
            // cannot take the path still has it used.
            IniWrite(iniPath, key->name, found);
            CopyWide(value, kSettingsChars, found);
        }
    }
    return CopyWide(key->text, key->capacity, value);
}
