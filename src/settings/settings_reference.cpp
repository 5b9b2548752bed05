#include "settings/settings_reference.h"

#include <windows.h>

#include <string.h>
#include <wchar.h>

#include "common/format.h"
#include "settings/settings_help.h"
#include "settings/settings_keys.h"

enum {
    kLineWidth = 78,
    kIndent = 4,
    kUtf8Bytes = 4 * 4096 + 1, // the longest value, four bytes a character
    kTypeChars = 64,
};

static const wchar_t* const kIntroduction[] = {
    L"The plug-in keeps its settings in vistrel.ini beside it, in the section [vistrel], one key per line: the "
    L"name, whose type in parentheses is part of it, an equals sign and the value. On first use the plug-in "
    L"writes every key with its default; a key that is missing or left empty gets its default back. An edit takes "
    L"effect with the next thumbnail or quick view.",
    L"Types: a text holds at most the characters given (a longer value of a text of 259 characters is not used, "
    L"and a box names its key; a longer one of 4095 ends there), and the value NULL makes it empty; a switch is on "
    L"when its value is a whole number other than 0; numbers take a decimal point, not a comma.",
};

static bool writeWide(FILE* out, const wchar_t* text, size_t length)
{
    static char utf8[kUtf8Bytes];
    if (length == 0) return true;
    int n = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, utf8, kUtf8Bytes, NULL, NULL);
    return n > 0 && fwrite(utf8, 1, (size_t)n, out) == (size_t)n;
}

static bool writeText(FILE* out, const wchar_t* text)
{
    return writeWide(out, text, wcslen(text));
}

// Fills lines of kLineWidth characters word by word, each line indented;
// a word longer than a line stands on a line of its own.
static bool writeWrapped(FILE* out, const wchar_t* text, int indent)
{
    bool ok = true;
    int column = 0;
    const wchar_t* p = text;
    while (*p) {
        while (*p == L' ') ++p;
        const wchar_t* end = p;
        while (*end && *end != L' ') ++end;
        int length = (int)(end - p);
        if (length == 0) break;
        if (column > 0 && column + 1 + length > kLineWidth) {
            ok = ok && writeText(out, L"\n");
            column = 0;
        }
        if (column == 0) {
            for (int i = 0; i < indent; ++i) ok = ok && writeText(out, L" ");
            column = indent;
        } else {
            ok = ok && writeText(out, L" ");
            ++column;
        }
        ok = ok && writeWide(out, p, (size_t)length);
        column += length;
        p = end;
    }
    return ok && writeText(out, L"\n");
}

// The type as a user reads it; text lengths come from the variable's size.
static void typeText(const SettingKey& key, wchar_t* out, size_t capacity)
{
    const wchar_t* format = L"";
    switch (key.type) {
    case kSettingText:
        format = key.isList ? L"text, a list of extensions, at most %d characters" : L"text, at most %d characters";
        break;
    case kSettingToolPath: format = L"path of a program, at most %d characters"; break;
    case kSettingBool: format = L"switch, 1 on and 0 off"; break;
    case kSettingInt: format = L"whole number"; break;
    case kSettingDouble: format = L"decimal number"; break;
    }
    FormatWideUnbounded(out, capacity, format, (int)key.capacity - 1);
}

static bool writeKey(FILE* out, const wchar_t* name, const wchar_t* type, const wchar_t* defaultPrefix,
                     const wchar_t* defaultValue)
{
    const wchar_t* meaning = SettingMeaning(name);
    if (!meaning) return false;
    bool ok = writeText(out, L"\n") && writeText(out, name) && writeText(out, L"\n");
    ok = ok && writeText(out, L"    Type:    ") && writeText(out, type) && writeText(out, L"\n");
    ok = ok && writeText(out, L"    Default: ") && writeText(out, defaultPrefix) && writeText(out, defaultValue) &&
         writeText(out, L"\n");
    return ok && writeWrapped(out, meaning, kIndent);
}

bool WriteSettingsReference(FILE* out)
{
    bool ok = writeText(out, L"vistrel settings\n================\n");
    for (const wchar_t* paragraph : kIntroduction) ok = ok && writeText(out, L"\n") && writeWrapped(out, paragraph, 0);
    for (const SettingKey& key : gSettingKeys) {
        wchar_t type[kTypeChars];
        typeText(key, type, kTypeChars);
        const wchar_t* prefix = key.type == kSettingToolPath ? L"<plug-in folder>\\" : L"";
        ok = ok && writeKey(out, key.name, type, prefix, key.defaultValue);
    }
    ok = ok && writeKey(out, kSettingsVersionKey, L"internal", L"", L"written by the plug-in");
    return ok && fflush(out) == 0;
}
