// The UnRAR library, loaded at run time from the plug-in's own folder. Were
// it imported, a missing or misplaced copy would keep the whole plug-in
// from loading, and it would be searched along the host's search path.
#pragma once
#include <windows.h>

#include <unrar/dll.hpp>

struct UnrarLibrary {
    decltype(&RAROpenArchiveEx) OpenArchiveEx;
    decltype(&RARReadHeaderEx) ReadHeaderEx;
    decltype(&RARProcessFileW) ProcessFileW;
    decltype(&RARCloseArchive) CloseArchive;
};

// The library, loaded on the first call and kept until the process ends.
// Null, after an error box naming the path where it was expected, when it
// cannot be loaded or lacks a function; the next call tries again.
const UnrarLibrary* LoadUnrarLibrary();
