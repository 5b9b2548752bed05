// The waveform picture of an audio track, with optional zoomed panes of its
// first and last seconds.
#pragma once

// Fills `waveformImageFile` (an existing empty temporary file) with the
// waveform of `source`, whose duration is `duration` seconds (0 or less
// when unknown: then without fade panes). The outcome is judged by the
// caller from the file's size.
void MakeWaveformImage(const wchar_t* source, double duration, const wchar_t* waveformImageFile);
