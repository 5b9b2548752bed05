// A 64-bit FNV-1a hash, for telling apart texts and values that are too
// large to keep: boxes already shown, the settings in force.
#pragma once
#include <stddef.h>

enum : unsigned long long { kHashStart = 14695981039346656037ull };

// Continues `hash` over `count` bytes; start with kHashStart.
unsigned long long HashBytes(unsigned long long hash, const void* bytes, size_t count);
// The characters of `text` and its terminator, so that consecutive texts
// cannot trade characters and give the same hash.
unsigned long long HashText(unsigned long long hash, const wchar_t* text);
