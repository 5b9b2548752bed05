// Texts drawn on a video thumbnail.
#pragma once

enum { kDrawTextTimeChars = 128 };

// Replaces `text` (at least kDrawTextTimeChars characters), which holds a
// duration in seconds, by its time text for the drawtext filter: "mm:ss",
// "hh:mm:ss" or "dd:hh:mm:ss" with drawtext's escaped colons. With
// `hideHours` a duration under an hour has no hour field. Seconds are
// rounded up from a half, but never past 59. A negative duration, or one
// too long to count in days, gives "ER" and false.
bool FormatDrawTextTime(wchar_t* text, bool hideHours);
