// Looking keys up in the text of a profile (ini) file that was read in one
// go, with the answers the platform's profile functions give. A request
// that needs several keys of one small file reads it once instead of
// opening it for every key.
#pragma once
#include <stddef.h>

// Decodes the bytes of a profile file as the profile functions do: UTF-16
// (either byte order) or UTF-8 after their byte-order marks, the ANSI code
// page otherwise. `text` holds `capacity` characters; returns the length
// written, or -1 when the decoded text would not fit or the UTF-8 is not
// valid (the profile functions would read replacement characters, so the
// text is not the file's any more).
int decodeProfileBytes(const unsigned char* bytes, size_t count, wchar_t* text, size_t capacity);

// The value of `key` in the first section named `section` of `text`
// (`length` characters), as GetPrivateProfileStringW gives it with an empty
// default: names matched without regard to ASCII case, blanks around names
// and values dropped, one pair of enclosing quotes removed, cut to
// `capacity` - 1 characters. False, with an empty value, when the key is
// missing or has no "=".
bool findProfileValue(const wchar_t* text, size_t length, const wchar_t* section, const wchar_t* key, wchar_t* value,
                      size_t capacity);
