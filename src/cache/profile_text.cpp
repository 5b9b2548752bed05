#include "cache/profile_text.h"

#include <windows.h>

#include <wchar.h>
#include <wctype.h>

#include "common/strpos.h"

int decodeProfileBytes(const unsigned char* bytes, size_t count, wchar_t* text, size_t capacity)
{
    if (capacity == 0) return -1;
    size_t length = 0;
    if (count >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        bool bigEndian = bytes[0] == 0xFE;
        length = (count - 2) / 2;
        if (length >= capacity) return -1;
        for (size_t i = 0; i < length; ++i) {
            unsigned char a = bytes[2 + 2 * i], b = bytes[3 + 2 * i];
            text[i] = (wchar_t)(bigEndian ? (a << 8 | b) : (b << 8 | a));
        }
    } else {
        UINT codePage = CP_ACP;
        DWORD flags = 0;
        if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            codePage = CP_UTF8;
            flags = MB_ERR_INVALID_CHARS;
            bytes += 3;
            count -= 3;
        }
        if (count > 0x7FFFFFFF || capacity > 0x7FFFFFFF) return -1;
        if (count > 0) {
            int n = MultiByteToWideChar(codePage, flags, (const char*)bytes, (int)count, text, (int)capacity - 1);
            if (n <= 0) return -1;
            length = (size_t)n;
        }
    }
    text[length] = 0;
    return (int)length;
}

// ^Z (an old end-of-file mark) counts as a blank, as for the profile functions.
static bool isProfileBlank(wchar_t c)
{
    return iswspace(c) || c == 0x1A;
}

static bool sameNameNoCase(const wchar_t* a, size_t length, const wchar_t* b)
{
    size_t n = wcslen(b);
    if (n != length) return false;
    for (size_t i = 0; i < n; ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

static void copyValue(const wchar_t* start, const wchar_t* end, wchar_t* value, size_t capacity)
{
    // The profile functions hand the value over as a C string.
    const wchar_t* nul = wmemchr(start, 0, (size_t)(end - start));
    if (nul) end = nul;
    if (end - start >= 2 && (*start == L'"' || *start == L'\'') && end[-1] == *start) {
        ++start;
        --end;
    }
    size_t n = (size_t)(end - start);
    if (n > capacity - 1) n = capacity - 1;
    wmemcpy(value, start, n);
    value[n] = 0;
}

bool findProfileValue(const wchar_t* text, size_t length, const wchar_t* section, const wchar_t* key, wchar_t* value,
                      size_t capacity)
{
    value[0] = 0;
    const wchar_t* end = text + length;
    const wchar_t* next = text;
    // Keys before the first header belong to an unnamed section.
    bool inSection = section[0] == 0;
    bool sectionSeen = inSection;
    while (next < end) {
        const wchar_t* start = next;
        // A line ends at the next line feed; only a text without any ends
        // its lines at carriage returns.
        const wchar_t* stop = wmemchr(start, L'\n', (size_t)(end - start));
        if (!stop) stop = wmemchr(start, L'\r', (size_t)(end - start));
        next = stop ? stop + 1 : end;
        const wchar_t* lineEnd = next;
        while (start < lineEnd && isProfileBlank(*start)) ++start;
        while (lineEnd > start && isProfileBlank(lineEnd[-1])) --lineEnd;
        if (start >= lineEnd) continue;

        if (*start == L'[') {
            const wchar_t* close = lineEnd - 1;
            while (close > start && *close != L']') --close;
            if (close > start) {
                // Only the first section of that name is ever searched.
                if (sectionSeen) return false;
                const wchar_t* name = start + 1;
                while (name < close && isProfileBlank(*name)) ++name;
                while (close > name && isProfileBlank(close[-1])) --close;
                inSection = sameNameNoCase(name, (size_t)(close - name), section);
                sectionSeen = inSection;
                continue;
            }
            // A header without its bracket is read as a key line.
        }
        if (!inSection) continue;
        const wchar_t* equals = wmemchr(start, L'=', (size_t)(lineEnd - start));
        if (!equals) {
            if (sameNameNoCase(start, (size_t)(lineEnd - start), key)) return false;
            continue;
        }
        const wchar_t* nameEnd = equals;
        while (nameEnd > start && isProfileBlank(nameEnd[-1])) --nameEnd;
        if (!sameNameNoCase(start, (size_t)(nameEnd - start), key)) continue;
        const wchar_t* valueStart = equals + 1;
        while (valueStart < lineEnd && isProfileBlank(*valueStart)) ++valueStart;
        copyValue(valueStart, lineEnd, value, capacity);
        return true;
    }
    return false;
}
