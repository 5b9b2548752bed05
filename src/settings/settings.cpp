#include "settings/settings.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "common/format.h"
#include "common/hash.h"
#include "common/messages.h"
#include "plugin/state.h"
#include "settings/settings_file.h"
#include "settings/settings_keys.h"
#include "settings/settings_readers.h"
#include "settings/settings_testing.h"
#include "settings/settings_upgrade.h"
#include "settings/tool_search.h"

static const wchar_t kMissingFileSubject[] = L"Error: could not find the ini file";
static const wchar_t kNoPathSubject[] = L"Error: could not get the ini file path";
static const wchar_t kCannotWork[] = L"This plugin cannot and will not work without it.";
static const wchar_t kTooLongMessage[] = L"The value is longer than %d characters and is not used.";

static wchar_t gSettingsFilePath[MAX_PATH];
static wchar_t gPluginDirectory[MAX_PATH];
// Once the path cannot be formed it never will be: no point in retrying,
// and one box is enough.
static bool gSettingsPathLatched;
static FILETIME gSettingsFileTimes[3];
// The last call could not use the settings: the next one that can lets its
// boxes be shown again, so a failure that comes back after a fix is told.
static bool gSettingsFailing;
// Whether anything was loaded yet, and a hash of what was.
static bool gSettingsLoaded;
static unsigned long long gLoadedValues;
static const wchar_t* gTestModuleName;

void ResetSettingsForTests()
{
    gSettingsFilePath[0] = 0;
    gPluginDirectory[0] = 0;
    gSettingsPathLatched = false;
    memset(gSettingsFileTimes, 0, sizeof gSettingsFileTimes);
    gSettingsFailing = false;
    gSettingsLoaded = false;
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

// Returns 0 when a text value was refused as too long for its variable.
static int readSettingKey(const SettingKey* key, bool forceListDefaults)
{
    bool force = key->isList && forceListDefaults;
    switch (key->type) {
    case kSettingText:
        return IniReadChars(gSettingsFilePath, key->name, key->defaultValue, key->text, key->capacity, force);
    case kSettingToolPath:
        return ReadToolPathSetting(gSettingsFilePath, gPluginDirectory, key, force);
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
    return 1;
}

static unsigned long long hashSettingValue(unsigned long long hash, const SettingKey& key)
{
    switch (key.type) {
    case kSettingText:
    case kSettingToolPath: return HashText(hash, key.text);
    case kSettingBool: return HashBytes(hash, key.flag, sizeof *key.flag);
    case kSettingInt: return HashBytes(hash, key.number, sizeof *key.number);
    case kSettingDouble: return HashBytes(hash, key.real, sizeof *key.real);
    }
    return hash;
}

// Boxes come back when the settings in force change, not on every load:
// the load that follows the plug-in's own writes of missing keys, or a
// touch of the file without an edit, brings nothing new to report.
static void forgetShownBoxesIfValuesChanged()
{
    unsigned long long values = kHashStart;
    for (const SettingKey& key : gSettingKeys) values = hashSettingValue(values, key);
    if (gSettingsLoaded && values == gLoadedValues) return;
    gSettingsLoaded = true;
    gLoadedValues = values;
    ForgetShownBoxes();
}

// Settings written by an older plug-in carry extension lists that lack
// formats added since: the oldest files get the built-in lists whole,
// newer ones the formats that they lack.
static void loadSettingKeys(double storedVersion)
{
    bool forceListDefaults = storedVersion < kListResetVersion;
    bool refused[kSettingKeyCount] = {};
    for (int i = 0; i < kSettingKeyCount; ++i) refused[i] = !readSettingKey(&gSettingKeys[i], forceListDefaults);

    ParseExtensionLists();
    AddNewListExtensions(gSettingsFilePath, storedVersion);

    // Boxes wait until every value is in place: a box lets the host call
    // in again, and what it may still reach reads these values.
    forgetShownBoxesIfValuesChanged();
    for (int i = 0; i < kSettingKeyCount; ++i) {
        if (!refused[i]) continue;
        // The tool that the value names is then reported missing with an
        // empty path: this box says which key to shorten.
        wchar_t message[kFormatWideChars];
        FormatWide(message, kTooLongMessage, (int)gSettingKeys[i].capacity - 1);
        ErrorBox(gSettingKeys[i].name, message);
    }
    // Forcing a refresh rewrites every thumbnail kept in a stream; left on
    // by mistake it would cost a tool run on every request.
    if (bADS && bADSForceRefreshini) {
        DebugBoxWchars(L"Remainder: bADSForceRefreshini is set to 1 on the ini file. This variable should be "
                       L"used temporary for debugging purpose only. You should disable it once you are done "
                       L"refreshing.");
    }
}

static void storeCurrentVersion()
{
    wchar_t current[kFormatWideChars];
    FormatWide(current, L"%.0f", kCurrentSettingsVersion);
    wchar_t stored[kSettingsChars];
    IniReadRaw(gSettingsFilePath, kSettingsVersionKey, stored);
    if (wcscmp(stored, current) != 0) IniWrite(gSettingsFilePath, kSettingsVersionKey, current);
}

static int settingsFailed()
{
    gSettingsFailing = true;
    return 0;
}

static int settingsUsable(int result)
{
    if (gSettingsFailing) {
        gSettingsFailing = false;
        ForgetShownBoxes();
    }
    return result;
}

// Every request comes through here first. An unchanged file costs one
// attribute query; the version key, the existence check and the full load
// wait until one of the file's times has moved.
int IniFileOp()
{
    if (gSettingsPathLatched) return 0;
    FILETIME times[3];
    if (gSettingsFilePath[0] && GetSettingsFileTimes(gSettingsFilePath, times) && sameFileTimes(times))
        return settingsUsable(1);

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
        return settingsFailed();
    }

    if (!GetSettingsFileTimes(gSettingsFilePath, times)) {
        ErrorBox(L"", L"\nError: Failed getting filetime from ini file\n");
        return settingsFailed();
    }
    if (sameFileTimes(times)) return settingsUsable(1);
    memcpy(gSettingsFileTimes, times, sizeof gSettingsFileTimes);

    loadSettingKeys(version);
    storeCurrentVersion();
    return settingsUsable(2);
}
