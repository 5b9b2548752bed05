#include "settings/settings_help.h"

#include <wchar.h>

#include "settings/settings_keys.h"

// One row per key of the settings file, in the order of the key table. A
// key without a row fails the unit tests, and so does a row whose key is
// gone, so this table cannot fall behind the key table unnoticed.
// clang-format off
const SettingHelp gSettingHelp[] = {
    {L"Videos extension list (chars)",
     L"Files with these extensions are handled as videos: a frame of the video becomes the thumbnail, and the "
     L"quick view plays them. Extensions without their dot, separated by commas; spaces are ignored and letters "
     L"may be in either case. A file whose extension stands in several lists takes the first of: videos, "
     L"audios, images, comics, albums. The stereo pictures jps and pns stand here too (they are cropped to one "
     L"eye), and so does gif, whose frame at half its running time is shown."},
    {L"Audios extension list (chars)",
     L"Files with these extensions are handled as audio: the embedded cover picture or a waveform becomes the "
     L"thumbnail, and the quick view plays them."},
    {L"Images extension list (chars)",
     L"Files with these extensions are handled as pictures: the image converter scales them into the thumbnail, "
     L"and the quick view shows them in the image viewer."},
    {L"Comics extension list (chars)",
     L"Files with these extensions are comic archives (ZIP, RAR, 7-Zip or tar, told apart by their content): the "
     L"picture whose name sorts first becomes the thumbnail. They have no quick view."},
    {L"Albums extension list (chars)",
     L"Files with these extensions are album archives (ZIP, RAR, 7-Zip or tar, told apart by their content): the "
     L"first picture whose name holds cover, folder or preview becomes the thumbnail, else the one whose name sorts "
     L"first. A book (EPUB) that names its cover picture shows that one. They have no quick view."},
    {L"Lister extension exclusion(!) list (chars)",
     L"Files with these extensions are never shown in the quick view, whatever list they stand in; they still get "
     L"thumbnails."},
    {L"ffmpegPath (chars)",
     L"The ffmpeg program, which makes every video and audio thumbnail. Written as an absolute path when the key "
     L"is created: after moving the plug-in's folder, correct it or delete the key to have it written anew. While "
     L"the key holds the default and no program stands there, the first ffmpeg.exe in a folder on PATH (full "
     L"paths only) is written instead; a path you wrote is never changed."},
    {L"ffplayPath (chars)",
     L"The ffplay program, which plays videos and audio in the quick view. The quick view needs it for every kind "
     L"of file, pictures included, and tells when it is missing. Found on PATH like ffmpegPath (chars)."},
    {L"ffprobePath (chars)",
     L"The ffprobe program, which tells the size and running time of a video or audio file before its thumbnail "
     L"is made. Found on PATH like ffmpegPath (chars)."},
    {L"irfanviewPath (chars)",
     L"The image converter's program, which scales pictures and archive covers into thumbnails and shows pictures "
     L"in the quick view. Found like ffmpegPath (chars): on PATH, else in its install folder IrfanView in the "
     L"program folder, else where its App Paths entry in the registry points."},
    {L"ListerSupport (bool)",
     L"1: videos, audio and pictures are shown in the quick view. 0: the plug-in shows no files there (folders "
     L"are governed by ListerDirectorySupport (bool))."},
    {L"ffmpegVideoPreInputParams (chars)",
     L"ffmpeg options placed before the input of every video and audio thumbnail. The default reads at most ten "
     L"seconds from the frame position, skips accurate seeking and keeps ffmpeg quiet."},
    {L"ffmpegVideoPostInputParams (chars)",
     L"ffmpeg output options of a video thumbnail and of the final run of an audio thumbnail: one frame written as "
     L"a JPEG of high quality."},
    {L"ffmpegSharpenInputParams (chars)",
     L"An ffmpeg filter added at the end of the filters of every video and audio thumbnail; the default sharpens "
     L"the scaled picture. NULL turns it off."},
    {L"ffmpegAudioPostInputParams (chars)",
     L"ffmpeg output options of the main waveform picture of an audio thumbnail."},
    {L"ffplayListerVideoPreInputParams (chars)",
     L"ffplay options placed before the input when a video plays in the quick view: by default at half volume, "
     L"repeated without end, dropping frames rather than falling behind."},
    {L"ffplayListerVideoOSDInputParams (chars)",
     L"The ffmpeg filter that draws the playing time onto a video in the quick view, used while OverlayInfo (bool) "
     L"is 1 (not for jps and pns pictures). NULL draws nothing."},
    {L"ffplayListerAudioPreInputParams (chars)",
     L"ffplay options placed before the input when an audio file plays in the quick view: by default at half "
     L"volume, once, showing the sound's spectrum."},
    {L"irfanviewMidInputParam (chars)",
     L"Image converter options placed between the size and the output of a picture thumbnail (archive covers "
     L"included): by default keep the aspect ratio, resample, sharpen and write a JPEG of quality 91."},
    {L"irfanviewListerPreInputParams (chars)",
     L"Image viewer options placed after the picture's path when a picture is shown in the quick view."},
    {L"ffmpegVideo_LR (chars)",
     L"The ffmpeg filter for side-by-side 3D (file names with _SBS or _LR, and jps and pns pictures): by default "
     L"the left half is kept."},
    {L"ffmpegVideo_TB (chars)",
     L"The ffmpeg filter for top-and-bottom 3D (file names with _TB or _OverUnder): by default the top half is "
     L"kept."},
    {L"ffmpegVideo_VR_LR (chars)",
     L"The ffmpeg filter for side-by-side VR video (_SBS or _LR together with _180 or _360): by default the middle "
     L"of the left half is kept."},
    {L"ffmpegVideo_VR_TB (chars)",
     L"The ffmpeg filter for top-and-bottom VR video (_TB or _OverUnder together with _180 or _360): by default "
     L"the middle of the top half is kept."},
    {L"ffmpegVideo_VR_180 (chars)",
     L"The ffmpeg filter applied after the crop of 180-degree VR video (_180 in the name), and alone for _MONO "
     L"with _180: by default it straightens the lens distortion."},
    {L"ffmpegVideo_VR_360 (chars)",
     L"The ffmpeg filter applied after the crop of 360-degree VR video (_360 in the name), and alone for _MONO "
     L"with _360: by default it straightens the lens distortion."},
    {L"AudioCoverHasPriority (bool)",
     L"1: an audio file with an embedded cover picture shows the cover. 0: every audio file shows its waveform; "
     L"one with a cover is marked +cover."},
    {L"AudioColorLeft (chars)",
     L"Colour of the first channel in the waveform, as ffmpeg reads colours (RRGGBB in hexadecimal, or a name "
     L"such as white)."},
    {L"AudioColorRight (chars)",
     L"Colour of the second channel in the waveform, as ffmpeg reads colours."},
    {L"AudioTimeMaxInSecs (double)",
     L"At most this many seconds from the start are drawn in the waveform. A longer file gets two pale bands at "
     L"the right edge, which tell that it goes on."},
    {L"AudioShowFadeInOut (bool)",
     L"1: under the waveform, two zoomed panes show the first and the last seconds of the file, so that fades "
     L"and abrupt ends can be seen. 0: the waveform alone."},
    {L"AudioIdealFadeInOutInSecs (double)",
     L"The seconds each of the two panes shows; at most 120, and a quarter of the running time for files shorter "
     L"than twice this length."},
    {L"AudioSeparatorThickness (int)",
     L"Thickness in pixels of the dark bars between the waveform and its panes (at least 1)."},
    {L"ffmpegAudioSmoothen (bool)",
     L"1: waveforms are drawn at twice the size and shrunk, which gives smoother lines and takes longer."},
    {L"OverlayInfo (bool)",
     L"1: video and audio thumbnails carry their information text (running time, 3D or VR label, picture height "
     L"such as 1080p), and videos in the quick view show their playing time. 0: no text."},
    {L"ffmpegVideoDrawTextAdditional (chars)",
     L"ffmpeg drawtext options given to every line of information text: the font file, the shadow, and "
     L"fix_bounds, which keeps a line inside the picture. At most 259 characters."},
    {L"OverlayHideHoursIfZero (bool)",
     L"1: a running time below one hour is shown as minutes and seconds only."},
    {L"FontSize (int)",
     L"Size of the first text line (the running time) in percent of the thumbnail's height; at least 5."},
    {L"FontSizeLine2 (int)",
     L"Size of the second text line (3D, VR 180, VR 360 or +cover) in percent of the thumbnail's height; at "
     L"least 5."},
    {L"FontSizeLine3 (int)",
     L"Size of the third text line (the picture height, such as 1080p) in percent of the thumbnail's height; at "
     L"least 5."},
    {L"FontColor (chars)",
     L"Colour of the information text, as ffmpeg reads colours. A thumbnail whose stream cache failed shows it in "
     L"red instead (see ADS Ignore ADS Warning (bool)). At most 259 characters."},
    {L"TextLine1XPos (int)",
     L"Left edge of the first text line in percent of the thumbnail's width. Above 100 the line ends at the right "
     L"edge, with the part above 100 as blanks after it; at most 120."},
    {L"TextLine1YPos (int)",
     L"Top edge of the first text line in percent of the thumbnail's height."},
    {L"TextLine2XPos (int)",
     L"Left edge of the second text line in percent of the thumbnail's width; above 100 as for the first line; at "
     L"most 120."},
    {L"TextLine2YPos (int)",
     L"Top edge of the second text line in percent of the thumbnail's height."},
    {L"TextLine3XPos (int)",
     L"Left edge of the third text line in percent of the thumbnail's width; above 100 as for the first line."},
    {L"TextLine3YPos (int)",
     L"Top edge of the third text line in percent of the thumbnail's height."},
    {L"3DSupport (bool)",
     L"1: 3D and VR markers in file names (_SBS, _LR, _TB, _OverUnder, _MONO, _180, _360) and jps and pns "
     L"pictures are cropped to one view in thumbnails and in the quick view. 0: every picture is shown whole."},
    {L"PercentPosition (double)",
     L"Where a video thumbnail's frame is taken, in percent of the running time."},
    {L"UserRefreshTimeout (double)",
     L"Seconds within which a new request for the same file counts as a refresh: the thumbnail then shows the "
     L"next frame position. A negative value turns this off."},
    {L"PercentRotationStep (double)",
     L"Percent of the running time by which each refresh moves the frame position; after the end it starts again "
     L"from PercentPosition (double)."},
    {L"ListerDirectorySupport (bool)",
     L"1: a folder in the quick view gets a small text placeholder of the plug-in, which keeps browsing folders "
     L"fast. 0: folders are left to the file manager."},
    {L"ListerCloseTempFileSleepTimeInMS (int)",
     L"Milliseconds the quick view waits after closing a file from the temporary folder, so that the player or "
     L"viewer lets go of it before the file manager removes it. The file manager does nothing else meanwhile, so "
     L"the wait is at most 5000 milliseconds whatever the value; 0 or less does not wait."},
    {L"ADS (bool)",
     L"1: finished thumbnails are kept in a hidden stream of the file itself (NTFS only) and shown from there "
     L"without running any tool while they still match the file and the settings. 0: every thumbnail is made "
     L"anew, and nothing is written to your files."},
    {L"ADS RefreshIfFileTimeChanged (bool)",
     L"1: a kept thumbnail is made anew when the file was saved since (its last-write time differs)."},
    {L"ADS RefreshIfCmdChanged (bool)",
     L"1: a kept thumbnail is made anew when a setting that shapes thumbnails of its kind was changed since."},
    {L"ADS AlwaysSaveCache (bool)",
     L"1: the record of a kept thumbnail is written even when both refresh tests are off."},
    {L"ADS Multiple Thumbnail Sizes (bool)",
     L"1: one thumbnail per cell size is kept (streams :p96x96.jpg and so on), so that switching sizes needs no "
     L"tool. 0: one thumbnail per file (stream :preview.jpg), made anew when the size changes."},
    {L"ADS force refresh (bool)",
     L"1: every thumbnail is made anew and kept again, for repairing a cache. Meant for a moment only: while it and "
     L"ADS (bool) are on, a reminder box comes up once, and again after every change of the settings."},
    {L"ADS Ignore ADS Warning (bool)",
     L"1: a video or audio thumbnail that could not be kept in the stream cache looks like any other. 0: it is "
     L"marked with !ADS in red."},
    {L"Debug (bool)",
     L"1: diagnostic boxes appear, the player and viewer of the quick view start visibly, and a beep sounds "
     L"whenever a thumbnail is written into a file's stream. For finding faults only."},
    {kSettingsVersionKey,
     L"Kept by the plug-in: the format of this settings file. Do not change it. A settings file from a much older "
     L"plug-in gets the current extension lists once; one from any other older plug-in keeps its lists and gets, "
     L"once, each extension that the default lists gained since and that stands in none of its lists, at the end "
     L"of its list (a list set to NULL stays empty)."},
};
// clang-format on
const size_t gSettingHelpCount = sizeof gSettingHelp / sizeof gSettingHelp[0];

const wchar_t* SettingMeaning(const wchar_t* name)
{
    for (size_t i = 0; i < gSettingHelpCount; ++i)
        if (wcscmp(gSettingHelp[i].name, name) == 0) return gSettingHelp[i].meaning;
    return nullptr;
}
