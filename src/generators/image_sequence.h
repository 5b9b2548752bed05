// ffmpeg's image demuxer takes a file name holding one "%d" (or "%03d" and
// the like) for a numbered sequence: "shot%d.jpg" stands for shot0.jpg,
// shot1.jpg and so on, and the file of that very name is never read.
#pragma once

// Given before the input, makes the image demuxer read the name as it is.
// Any other demuxer leaves it unused, and ffmpeg then stops, so it goes
// only where the image demuxer reads.
static const wchar_t kLiteralImageName[] = L" -pattern_type none";

// True when `path` is a still picture that the video generator hands to
// ffmpeg unprobed and its image demuxer reads (extension JPG, JPS or PNS,
// without the dot, any letter case), and ffmpeg would take its name for a
// sequence: one "%d" with or without digits between, "%%" standing for a
// percent sign, and no other '%'.
bool NeedsLiteralImageName(const wchar_t* path, const wchar_t* extension);
