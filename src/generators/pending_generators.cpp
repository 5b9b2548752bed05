// Generators whose media kinds are not handled yet: they make no thumbnail.
#include "generators/generators.h"

int MakeArchiveThumbnail(const wchar_t*, wchar_t*, int)
{
    return 0;
}
