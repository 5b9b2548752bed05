// Fixed-capacity text formatting. printf conventions of the C runtime in
// its default locale (decimal dot); use %ls for wide and %hs for narrow
// string arguments in wide formats.
#pragma once
#include <stddef.h>

// Capacities, terminator included. The output buffer must hold at least
// that many characters.
enum {
    kFormatWideChars = 4096,
    kFormatWideShortChars = 128,
    kFormatWideMidChars = 2048,
    kFormatCharsBytes = 2048,
};

// Each returns the number of characters written, or a negative value when
// the result does not fit; then the output is the empty string.
int FormatWide(wchar_t* out, const wchar_t* format, ...);
int FormatWideShort(wchar_t* out, const wchar_t* format, ...);
int FormatWideMid(wchar_t* out, const wchar_t* format, ...);
int FormatChars(char* out, const char* format, ...);
// For callers with buffers of their own size: bounded by `capacity`.
int FormatWideUnbounded(wchar_t* out, size_t capacity, const wchar_t* format, ...);

// Appends as much of `text` as fits; the result is always terminated.
// Returns 1 when all of it fitted, 0 when it was cut.
int AppendWide(wchar_t* buffer, size_t capacity, const wchar_t* text);
int AppendChars(char* buffer, size_t capacity, const char* text);
// Copies `text` when it fits whole; otherwise leaves "" and returns 0.
int CopyWide(wchar_t* buffer, size_t capacity, const wchar_t* text);
