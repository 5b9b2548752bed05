// The names of the streams that the stream cache keeps on a source file.
// The plug-in writes them; the host program's cache commands find and
// remove exactly these, so both take them from here.
#pragma once

// The one thumbnail of a file while a single cell size is kept.
static const wchar_t kSingleThumbnailStream[] = L":preview.jpg";
// One thumbnail per cell size (width, height) when several are kept.
static const wchar_t kSizedThumbnailStreamFormat[] = L":p%dx%d.jpg";
// The records of the thumbnails and the stored frame position.
static const wchar_t kCacheRecordStream[] = L":cache.ini";
// The section of the records in that stream.
static const wchar_t kCacheRecordSection[] = L"vistrel";
// Separates the fields of a record: time|signature[|WxH].
static const wchar_t kCacheRecordSeparator = L'|';
// The largest record stream that is read. The plug-in's records stay far
// below it; a larger one is planted or damaged and holds no record of
// ours. Handed to the profile functions, it would be read and rewritten
// whole on every request, so it counts as no record and is written over.
enum { kCacheRecordMaxBytes = 8192 };
