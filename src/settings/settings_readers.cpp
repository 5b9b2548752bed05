#include "settings/settings_readers.h"

#include <windows.h>

#include <stdlib.h>
#include <wchar.h>
#include <wctype.h>

#include "common/format.h"
#include "settings/settings.h"
#include "settings/settings_encoding.h"

// Section that holds every key.
static const wchar_t kSettingsSection[] = L"vistrel";

// The wide profile functions keep the path and the values intact for
// folders and texts outside the ANSI code page.
void IniReadRaw(const wchar_t* iniPath, const wchar_t* key, wchar_t* buffer)
{
    buffer[0] = 0;
    GetPrivateProfileStringW(kSettingsSection, key, L"", buffer, kSettingsChars, iniPath);
    buffer[kSettingsChars - 1] = 0;
}

void IniWrite(const wchar_t* iniPath, const wchar_t* key, const wchar_t* value)
{
    if (SettingsFileCanHold(iniPath, value)) WritePrivateProfileStringW(kSettingsSection, key, value, iniPath);
}

// The default stands in when forced or when the file holds nothing; it is
// written back so the user sees every key in the file.
static void takeDefaultIfDue(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue,
                             bool forceDefault, wchar_t* text)
{
    if (forceDefault) {
        if (wcscmp(text, defaultValue) != 0) IniWrite(iniPath, key, defaultValue);
    } else if (!text[0]) {
        IniWrite(iniPath, key, defaultValue);
    } else {
        return;
    }
    CopyWide(text, kSettingsChars, defaultValue);
}

// Whole or nothing: a cut tool path could start another program than the
// one the user named, and a cut filter would be silently different.
int IniReadChars(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue,
                 wchar_t* target, size_t capacity, bool forceDefault)
{
    wchar_t text[kSettingsChars];
    IniReadRaw(iniPath, key, text);
    if (!forceDefault && wcscmp(text, L"NULL") == 0) {
        target[0] = 0;
        return 1;
    }
    takeDefaultIfDue(iniPath, key, defaultValue, forceDefault, text);
    return CopyWide(target, capacity, text);
}

// Text that decides a switch or a number.
static void readNumberText(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue,
                           bool forceDefault, wchar_t* text)
{
    IniReadRaw(iniPath, key, text);
    takeDefaultIfDue(iniPath, key, defaultValue, forceDefault, text);
}

static bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Only the decimal form is taken: the runtime's own conversion would also
// read hexadecimal, "inf" and "nan", which no user means in this file.
// The prefix it leaves is handed to the runtime for correct rounding.
double ParseSettingsDouble(const wchar_t* text)
{
    if (!text) return 0.0;
    char number[kSettingsChars]; // as long as any value read from the file
    size_t n = 0;
    size_t i = 0;
    auto take = [&](wchar_t c) {
        if (n + 1 < sizeof number) number[n++] = (char)c;
    };
    while (iswspace(text[i])) ++i;
    if (text[i] == L'+' || text[i] == L'-') take(text[i++]);
    size_t digits = 0;
    for (; isDigit(text[i]); ++digits) take(text[i++]);
    if (text[i] == L'.') {
        take(text[i++]);
        for (; isDigit(text[i]); ++digits) take(text[i++]);
    }
    if (digits == 0) return 0.0;
    if (text[i] == L'e' || text[i] == L'E') {
        size_t j = i + 1;
        if (text[j] == L'+' || text[j] == L'-') ++j;
        if (isDigit(text[j])) {
            while (i < j) take(text[i++]);
            while (isDigit(text[i])) take(text[i++]);
        }
    }
    number[n] = 0;
    return strtod(number, NULL);
}

// long is 32 bits on both Windows targets; out-of-range text saturates.
static int ParseSettingsInt(const wchar_t* text)
{
    return text ? (int)wcstol(text, NULL, 10) : 0;
}

bool IniReadBool(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue, bool forceDefault)
{
    wchar_t text[kSettingsChars];
    readNumberText(iniPath, key, defaultValue, forceDefault, text);
    return ParseSettingsInt(text) != 0;
}

double IniReadDouble(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue, bool forceDefault)
{
    wchar_t text[kSettingsChars];
    readNumberText(iniPath, key, defaultValue, forceDefault, text);
    return ParseSettingsDouble(text);
}

int IniReadInt(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue)
{
    wchar_t text[kSettingsChars];
    readNumberText(iniPath, key, defaultValue, false, text);
    return ParseSettingsInt(text);
}
