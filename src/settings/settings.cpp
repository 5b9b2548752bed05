#include "settings/settings.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "common/format.h"
#include "common/messages.h"
#include "plugin/state.h"
#include "settings/extensions.h"
#include "settings/settings_file.h"
#include "settings/settings_keys.h"
#include "settings/settings_readers.h"
#include "settings/settings_testing.h"

// Settings written by an older plug-in carry extension lists that lack
// formats added since; such files get the built-in lists once.
static const double kListUpgradeVersion = 20210401;
static const double kCurrentSettingsVersion = 20210405;

static const wchar_t kMissingFileSubject[] = L"Error: could not find the ini file";
static const wchar_t kNoPathSubject[] = L"Error: could not get the ini file path";
static const wchar_t kCannotWork[] = L"This plugin cannot and will not work without it.";

static wchar_t gSettingsFilePath[MAX_PATH];
static wchar_t gPluginDirectory[MAX_PATH];
// Once the path cannot be formed it never will be: no point in retrying,
// and one box is enough.
static bool gSettingsPathLatched;
static FILETIME gSettingsFileTimes[3];
static const wchar_t* gTestModuleName;

void ResetSettingsForTests()
{
    gSettingsFilePath[0] = 0;
    gPluginDirectory[0] = 0;
    gSettingsPathLatched = false;
    memset(gSettingsFileTimes, 0, sizeof gSettingsFileTimes);
    gTestModuleName = NULL;
}

void SetSettingsModuleNameForTests(const wchar_t* moduleFileName)
{
    gTestModuleName = moduleFileName;
}

const wchar_t* SettingsFilePathForTests()
{
    return gSettingsFilePath;
}

// Leaves the path empty when it cannot be formed.
static void formSettingsFilePath()
{
    wchar_t moduleName[MAX_PATH];
    moduleName[0] = 0;
    if (gTestModuleName) {
        if (!CopyWide(moduleName, MAX_PATH, gTestModuleName)) return;
    } else {
        // A null instance (the unit-test program) names the program itself.
        DWORD n = GetModuleFileNameW(gModuleInstance, moduleName, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return; // missing or cut
    }
    FormSettingsPath(moduleName, gSettingsFilePath, gPluginDirectory);
}

// The version key doubles as the creation of a missing settings file.
static double readSettingsVersion()
{
    wchar_t text[kSettingsChars];
    IniReadRaw(gSettingsFilePath, kSettingsVersionKey, text);
    if (!text[0]) {
        CreateUnicodeSettingsFile(gSettingsFilePath);
        IniWrite(gSettingsFilePath, kSettingsVersionKey, L"0");
        CopyWide(text, kSettingsChars, L"0");
    }
    return ParseSettingsDouble(text);
}

static int settingsFileOpens()
{
    FILE* file = _wfopen(gSettingsFilePath, L"rb");
    if (!file) return 0;
    fclose(file);
    return 1;
}

static bool sameFileTimes(const FILETIME times[3])
{
    for (int i = 0; i < 3; ++i) {
        if (CompareFileTime(&times[i], &gSettingsFileTimes[i]) != 0) return false;
    }
    return true;
}

static void readSettingKey(const SettingKey* key, bool forceListDefaults)
{
    bool force = key->isList && forceListDefaults;
    switch (key->type) {
    case kSettingText:
        IniReadChars(gSettingsFilePath, key->name, key->defaultValue, key->text, key->capacity, force);
        break;
    case kSettingToolPath: {
        // Absolute, so that the tools are found whatever the host's current
        // folder; too long a folder leaves a default that is refused.
        wchar_t defaultPath[kSettingsChars];
        defaultPath[0] = 0;
        AppendWide(defaultPath, kSettingsChars, gPluginDirectory);
        AppendWide(defaultPath, kSettingsChars, key->defaultValue);
        IniReadChars(gSettingsFilePath, key->name, defaultPath, key->text, key->capacity, force);
        break;
    }
    case kSettingBool:
        *key->flag = IniReadBool(gSettingsFilePath, key->name, key->defaultValue, force);
        break;
    case kSettingInt:
        *key->number = IniReadInt(gSettingsFilePath, key->name, key->defaultValue);
        break;
    case kSettingDouble:
        *key->real = IniReadDouble(gSettingsFilePath, key->name, key->defaultValue, force);
        break;
    }
}

static void loadSettingKeys(bool forceListDefaults)
{
    for (const SettingKey& key : gSettingKeys) {
        readSettingKey(&key, forceListDefaults);
        // Forcing a refresh rewrites every thumbnail kept in a stream; left
        // on by mistake it would cost a tool run on every request. The
        // reminder comes once the stream-cache keys are read.
        if (key.flag == &bADSIgnoreADSWarning && bADS && bADSForceRefreshini) {
            DebugBoxWchars(L"Remainder: bADSForceRefreshini is set to 1 on the ini file. This variable should be "
                           L"used temporary for debugging purpose only. You should disable it once you are done "
                           L"refreshing.");
        }
    }

    ParseExtensionList(szVideosExtensionList, &gVideoExtensions);
    ParseExtensionList(szAudiosExtensionList, &gAudioExtensions);
    ParseExtensionList(szImagesExtensionList, &gImageExtensions);
    ParseExtensionList(szComicsExtensionList, &gComicExtensions);
    ParseExtensionList(szAlbumsExtensionList, &gAlbumExtensions);
    ParseExtensionList(szListerExclusionList, &gListerExcludedExtensions);
}

static void storeCurrentVersion()
{
    wchar_t current[kFormatWideChars];
    FormatWide(current, L"%.0f", kCurrentSettingsVersion);
    wchar_t stored[kSettingsChars];
    IniReadRaw(gSettingsFilePath, kSettingsVersionKey, stored);
    if (wcscmp(stored, current) != 0) IniWrite(gSettingsFilePath, kSettingsVersionKey, current);
}

// Reloading only when one of the file's times moved keeps an unchanged
// file down to a key read and two opens per request.
int IniFileOp()
{
    if (gSettingsPathLatched) return 0;
    if (!gSettingsFilePath[0]) formSettingsFilePath();
    if (!gSettingsFilePath[0]) {
        gSettingsPathLatched = true;
        ErrorBox(kNoPathSubject, kCannotWork);
        return 0;
    }

    double version = readSettingsVersion();
    if (!settingsFileOpens()) {
        ErrorBox(kMissingFileSubject, kCannotWork);
        // Formed again next time: the folder may become usable.
        gSettingsFilePath[0] = 0;
        gPluginDirectory[0] = 0;
        return 0;
    }

    FILETIME times[3];
    if (!GetSettingsFileTimes(gSettingsFilePath, times)) {
        ErrorBox(L"", L"\nError: Failed getting filetime from ini file\n");
        return 0;
    }
    if (sameFileTimes(times)) return 1;
    memcpy(gSettingsFileTimes, times, sizeof gSettingsFileTimes);

    loadSettingKeys(version < kListUpgradeVersion);
    storeCurrentVersion();
    return 2;
}
