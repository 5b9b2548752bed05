#include "common/strpos.h"

#include <wchar.h>

#include "common/messages.h"

wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? (wchar_t)(c - L'A' + L'a') : c;
}

int strpos(const wchar_t* haystack, const wchar_t* needle, bool caseSensitive, int startPosition)
{
    if (startPosition < 1) {
        DebugBoxChars("Internal error! 'strpos' function should never start with  StartAtPosition < 1\n"
                      " Assuming the desired value was 1");
        startPosition = 1;
    }
    if (!haystack || !needle) return 0;
    size_t hayLength = wcslen(haystack);
    size_t needleLength = wcslen(needle);
    if (hayLength == 0 || needleLength == 0 || needleLength > hayLength) return 0;
    size_t start = (size_t)startPosition - 1;
    if (start >= hayLength || needleLength > hayLength - start) return 0;

    for (size_t i = start; hayLength - i >= needleLength; ++i) {
        size_t k = 0;
        while (k < needleLength) {
            wchar_t a = haystack[i + k], b = needle[k];
            if (!caseSensitive) {
                a = FoldAscii(a);
                b = FoldAscii(b);
            }
            if (a != b) break;
            ++k;
        }
        if (k == needleLength) return (int)(i + 1);
    }
    return 0;
}
