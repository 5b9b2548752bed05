// vistrel-host cache: shows and removes the thumbnails that the plug-in's
// stream cache keeps in the user's files.
//
//   vistrel-host cache list  [--recursive] PATH...
//   vistrel-host cache clear [--recursive] PATH...
//
// A PATH is a file, a folder (its files; with --recursive its subfolders'
// too) or a name pattern with * and ?. Only the plug-in's own streams are
// touched: the thumbnails (":preview.jpg", ":pWxH.jpg") and their records
// (":cache.ini"). They are found by those names and by the record's keys,
// so also where a volume cannot list its streams; where it can, thumbnail
// streams without a record are found too.
#pragma once

enum {
    kCacheDone = 0,
    kCacheTrouble = 1, // a path was not found, or a file could not be read or cleared
};

struct CacheCommand {
    bool clear; // false: list
    bool recursive;
    const wchar_t* const* paths;
    int pathCount;
};

// Runs the command, reporting on standard output (errors on standard
// error), and returns one of the codes above.
int RunCacheCommand(const CacheCommand* command);
