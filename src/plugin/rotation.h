// Frame-position rotation for repeated requests of the same file.
#pragma once

// Wall clock as Unix seconds truncated to a signed 32-bit value.
int CurrentUnixSeconds();

// Steps the frame position when `path` was asked for again within the
// refresh window after the last handed-over bitmap; `now` is
// CurrentUnixSeconds(). Sets *forceRefresh on a repeat when the stream cache
// is in use, so the cached thumbnail is made anew. Records `path` as the
// last request.
void rotateFramePosition(const wchar_t* path, int now, bool useStreamCache, bool* forceRefresh);

// The position in percent that the next thumbnail is taken at.
double PositionInForce();
