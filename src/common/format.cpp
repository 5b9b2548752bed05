#include "common/format.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

// _vsnwprintf is the runtime's own formatter whatever stdio flavour the
// compiler chose; it reports an overflow as -1 or as a count equal to the
// capacity (then without terminator), both of which are "does not fit".
static int formatWideV(wchar_t* out, size_t capacity, const wchar_t* format, va_list args)
{
    if (!out || capacity == 0) return -1;
    int n = _vsnwprintf(out, capacity, format, args);
    if (n < 0 || (size_t)n >= capacity) {
        out[0] = 0;
        return -1;
    }
    out[n] = 0;
    return n;
}

#define VSL_FORMAT_WIDE(name, capacity)                                   \
    int name(wchar_t* out, const wchar_t* format, ...)                    \
    {                                                                     \
        va_list args;                                                     \
        va_start(args, format);                                           \
        int n = formatWideV(out, capacity, format, args);                 \
        va_end(args);                                                     \
        return n;                                                         \
    }

VSL_FORMAT_WIDE(FormatWide, kFormatWideChars)
VSL_FORMAT_WIDE(FormatWideShort, kFormatWideShortChars)
VSL_FORMAT_WIDE(FormatWideMid, kFormatWideMidChars)

int FormatWideUnbounded(wchar_t* out, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = formatWideV(out, capacity, format, args);
    va_end(args);
    return n;
}

int FormatChars(char* out, const char* format, ...)
{
    if (!out) return -1;
    va_list args;
    va_start(args, format);
    int n = _vsnprintf(out, kFormatCharsBytes, format, args);
    va_end(args);
    if (n < 0 || n >= kFormatCharsBytes) {
        out[0] = 0;
        return -1;
    }
    out[n] = 0;
    return n;
}

int AppendWide(wchar_t* buffer, size_t capacity, const wchar_t* text)
{
    if (!buffer || capacity == 0) return 0;
    size_t used = wcsnlen(buffer, capacity);
    if (used >= capacity) { // not terminated: repair rather than run off
        buffer[capacity - 1] = 0;
        return 0;
    }
    size_t i = 0;
    while (text && text[i] && used + 1 < capacity) buffer[used++] = text[i++];
    buffer[used] = 0;
    return !(text && text[i]);
}

int AppendChars(char* buffer, size_t capacity, const char* text)
{
    if (!buffer || capacity == 0) return 0;
    size_t used = strnlen(buffer, capacity);
    if (used >= capacity) {
        buffer[capacity - 1] = 0;
        return 0;
    }
    size_t i = 0;
    while (text && text[i] && used + 1 < capacity) buffer[used++] = text[i++];
    buffer[used] = 0;
    return !(text && text[i]);
}

int CopyWide(wchar_t* buffer, size_t capacity, const wchar_t* text)
{
    if (!buffer || capacity == 0) return 0;
    size_t n = text ? wcslen(text) : 0;
    if (n >= capacity) {
        buffer[0] = 0;
        return 0;
    }
    if (n) memcpy(buffer, text, n * sizeof(wchar_t));
    buffer[n] = 0;
    return 1;
}
