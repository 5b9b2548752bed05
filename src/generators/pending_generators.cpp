// Generators whose media kinds are not handled yet: they make no thumbnail.
#include "generators/generators.h"

int irfanviewGetImageThumbnail(const wchar_t*, wchar_t*, const wchar_t*)
{
    return 0;
}
