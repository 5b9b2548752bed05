// The block structure of a RAR archive, read without the UnRAR library:
// what the library would unpack on its own, unasked, and before any
// callback of ours could refuse it.
#pragma once

// Bounds of the NTFS-stream records that the library unpacks, in test mode
// too, after every entry it processes: each gets a window of its own size,
// allocated and cleared before its first byte reaches us.
enum { kRarStreamRecordLimit = 64 };
const long long kRarStreamWindowLimit = 4LL << 20;
const long long kRarStreamBytesLimit = 1LL << 20;

// False when the archive holds stream records beyond those bounds (more
// than kRarStreamRecordLimit, a window above kRarStreamWindowLimit, more
// than kRarStreamBytesLimit unpacked, or an unknown size), or more blocks
// than a listing may have. True otherwise, including for blocks it cannot
// read, which the library cannot read either: the walk stops there.
bool RarStreamRecordsWithinBounds(const wchar_t* archive);
