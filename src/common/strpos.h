#pragma once

// 1-based position of the first `needle` in `haystack` at or after
// `startPosition` (1-based), 0 when there is none. Case-insensitive
// comparison folds only the ASCII letters.
int strpos(const wchar_t* haystack, const wchar_t* needle, bool caseSensitive, int startPosition);

// ASCII-only lower-casing, the folding used for names, extensions and markers.
wchar_t FoldAscii(wchar_t c);
