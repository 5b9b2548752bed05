// Covers of comic and album archives: the container is told by its first
// bytes, the cover is chosen by name (cover_choice.h) and extracted into a
// file of the caller's for the image generator.
#pragma once
#include <windows.h>

enum { kArchiveUnknown = 0, kArchiveZip = 1, kArchiveRar = 2, kArchiveSevenZip = 3, kArchiveTar = 4 };

// kArchiveTar for a first header that holds the "ustar" magic and adds up
// to its checksum, else kArchiveZip for "PK", kArchiveRar for "Rar",
// kArchiveSevenZip for 7-Zip's signature; 0 for anything else or an
// unreadable file.
int ProbeArchiveType(const wchar_t* path);

// Extract the cover of `archive` over the existing file `destination`.
// Return 1 when the chosen entry was written there whole; 0 when there is
// no candidate, the archive cannot be read, or the entry could not be
// extracted (damaged, needs a password or another volume, larger than
// gCoverByteLimit), in which case `destination` may hold a part of it.
int ExtractZipCover(const wchar_t* archive, const wchar_t* destination, int mode);
int ExtractRarCover(const wchar_t* archive, const wchar_t* destination, int mode);
int ExtractSevenZipCover(const wchar_t* archive, const wchar_t* destination, int mode);
int ExtractTarCover(const wchar_t* archive, const wchar_t* destination, int mode);

// Whether the 512-byte block is a tar header: its checksum field holds the
// sum of its bytes (the field itself counted as spaces).
bool IsTarHeader(const unsigned char* block);

// The most bytes an extracted cover may have: a small archive whose cover
// expands to gigabytes must not fill the user's disk or hold up the host.
extern long long gCoverByteLimit;
const long long kCoverByteLimit = 256LL << 20;

// The most bytes that may be unpacked before the cover in a solid archive,
// where reaching the cover means unpacking everything stored before it:
// real comics stay far below, a planted run of zeros does not.
extern long long gUnpackBeforeCoverLimit;
const long long kUnpackBeforeCoverLimit = 512LL << 20;

// The most entries an archive's listing may have: a comic has hundreds, and
// a file of millions of tiny headers must not keep the host listing them.
extern long gArchiveEntryLimit;
const long kArchiveEntryLimit = 100000;

// The UnRAR library's error text of `code` on the standard output, when
// that is a console or a file; other codes write nothing.
void PrintRarError(int code);
