#include "common/hash.h"

#include <wchar.h>

unsigned long long HashBytes(unsigned long long hash, const void* bytes, size_t count)
{
    const unsigned char* byte = (const unsigned char*)bytes;
    for (size_t i = 0; i < count; ++i) hash = (hash ^ byte[i]) * 1099511628211ull;
    return hash;
}

unsigned long long HashText(unsigned long long hash, const wchar_t* text)
{
    return HashBytes(hash, text, (wcslen(text) + 1) * sizeof(wchar_t));
}
