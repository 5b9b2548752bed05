// What ffprobe tells about a media file, and what kind of thumbnail that
// makes: a frame of the video, a still picture, or the audio's waveform.
#pragma once

enum ThumbKind { kThumbFrame = 0, kThumbStill = 1, kThumbWaveform = 2 };

enum {
    kProbeLineCount = 5,
    kProbeLineChars = 512, // a line keeps at most 511 characters
    kProbeTransferChars = 32, // a longer name is cut and names nothing we know
};

// Probe output as printed: width, height and duration of the first video
// stream, one per line (only the duration when there is no video stream).
// Each line keeps its line end; a longer line is cut, its rest dropped.
// The stream's transfer characteristic, printed between height and
// duration, is kept apart: it is the one value that ffprobe prints as a
// lower-case name ("unknown", "bt709", "smpte2084"), while the others are
// numbers or "N/A". An ffprobe that prints none leaves the lines as they
// were.
struct ProbeLines {
    wchar_t line[kProbeLineCount][kProbeLineChars];
    int count; // lines held, 0 to 5
    int length; // characters in the line being read
    bool open; // a line is being read
    wchar_t transfer[kProbeTransferChars]; // the first one, without line end; "" when none
    int transferLines; // transfer lines met, each stream listed names its own
    bool inTransfer; // the line being read is a transfer
};

void ClearProbeLines(ProbeLines* probe);
// Takes one character of the probe's text output. Returns false once five
// whole lines are held, or more transfer lines than that were met, when
// nothing more is read.
bool AddProbeChar(ProbeLines* probe, wchar_t c);
// Sets lines 1 to 3 directly (stills whose picture needs no probe).
void SetProbeLines(ProbeLines* probe, const wchar_t* first, const wchar_t* second, const wchar_t* third);

// A line's number, read as the C library reads a decimal: leading blanks
// skipped, the longest numeric prefix, 0 without one.
double ProbeNumber(const wchar_t* line);

// Decides the kind from the probe lines and brings them to their working
// form: lines 1 to 3 width, height, duration for a frame or still; line 1
// the duration for a waveform. `still` is the extension's verdict, `mode`
// 2 prefers the waveform over a picture stream (*cover then tells that one
// was passed over). Returns false when the output cannot be used (line
// count 0, 2 or 4, five lines that do not read as size and duration, or a
// frame without its three lines).
bool ResolveProbeLines(ProbeLines* probe, bool still, int mode, ThumbKind* kind, bool* cover);
