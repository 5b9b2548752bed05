#include "settings/settings_keys.h"

#include "settings/settings.h"

// Read on every call, before the other keys: it decides whether the lists
// are brought up to date.
const wchar_t kSettingsVersionKey[] = L"vistrel Version (internal only: do not modify)";

// One variable per key, zero until the first load.
wchar_t szVideosExtensionList[kSettingsChars];
wchar_t szAudiosExtensionList[kSettingsChars];
wchar_t szImagesExtensionList[kSettingsChars];
wchar_t szComicsExtensionList[kSettingsChars];
wchar_t szAlbumsExtensionList[kSettingsChars];
wchar_t szListerExclusionList[kSettingsChars];
wchar_t szFfmpegPath[kSettingsPathChars];
wchar_t szFfplayPath[kSettingsPathChars];
wchar_t szFfprobePath[kSettingsPathChars];
wchar_t szIrfanviewPath[kSettingsPathChars];
bool bListerSupport;
wchar_t szFfmpegVideoPreInputParams[kSettingsChars];
wchar_t szFfmpegVideoPostInputParams[kSettingsChars];
wchar_t szFfmpegSharpenInputParams[kSettingsChars];
wchar_t szFfmpegAudioPostInputParams[kSettingsChars];
wchar_t szFfplayListerVideoPreInputParams[kSettingsChars];
wchar_t szFfplayListerVideoOSDInputParams[kSettingsChars];
wchar_t szFfplayListerAudioPreInputParams[kSettingsChars];
wchar_t szIrfanviewMidInputParam[kSettingsChars];
wchar_t szIrfanviewListerPreInputParams[kSettingsChars];
wchar_t szFfmpegVideo_LR[kSettingsChars];
wchar_t szFfmpegVideo_TB[kSettingsChars];
wchar_t szFfmpegVideo_VR_LR[kSettingsChars];
wchar_t szFfmpegVideo_VR_TB[kSettingsChars];
wchar_t szFfmpegVideo_VR_180[kSettingsChars];
wchar_t szFfmpegVideo_VR_360[kSettingsChars];
bool bAudioCoverHasPriority;
wchar_t szAudioColorLeft[kSettingsChars];
wchar_t szAudioColorRight[kSettingsChars];
double gAudioTimeMaxInSecs;
bool bAudioShowFadeInOut;
double gAudioIdealFadeInOutInSecs;
int gAudioSeparatorThickness;
bool bFfmpegAudioSmoothen;
bool bOverlayInfo;
wchar_t szFfmpegVideoDrawTextAdditional[kSettingsPathChars];
bool bOverlayHideHoursIfZero;
int gFontSize;
int gFontSizeLine2;
int gFontSizeLine3;
wchar_t szFontColor[kSettingsPathChars];
int gTextLine1XPos;
int gTextLine1YPos;
int gTextLine2XPos;
int gTextLine2YPos;
int gTextLine3XPos;
int gTextLine3YPos;
bool b3DSupport;
double gPercentPosition;
double gUserRefreshTimeout;
double gPercentRotationStep;
bool bListerDirectorySupport;
int gListerCloseTempFileSleepTimeInMS;
bool bADS;
bool bADSRefreshIfFileTimeChanged;
bool bADSRefreshIfCmdChanged;
bool bADSAlwaysSaveCache;
bool bADSMultipleThumbnailSizes;
bool bADSForceRefreshini;
bool bADSIgnoreADSWarning;
bool bDebug;

// The order of the rows is the order of the keys in a new settings file and
// the order in which a load reads them.
#define KEY_LIST(key, value, var) {key, value, kSettingText, var, kSettingsChars, nullptr, nullptr, nullptr, true}
#define KEY_TEXT(key, value, var) {key, value, kSettingText, var, kSettingsChars, nullptr, nullptr, nullptr, false}
#define KEY_SHORT_TEXT(key, value, var) {key, value, kSettingText, var, kSettingsPathChars, nullptr, nullptr, nullptr, false}
#define KEY_TOOL(key, value, var) {key, value, kSettingToolPath, var, kSettingsPathChars, nullptr, nullptr, nullptr, false}
#define KEY_FLAG(key, value, var) {key, value, kSettingBool, nullptr, 0, &var, nullptr, nullptr, false}
#define KEY_INTEGER(key, value, var) {key, value, kSettingInt, nullptr, 0, nullptr, &var, nullptr, false}
#define KEY_REAL(key, value, var) {key, value, kSettingDouble, nullptr, 0, nullptr, nullptr, &var, false}

// clang-format off
constexpr SettingKey gSettingKeys[kSettingKeyCount] = {
    KEY_LIST(L"Videos extension list (chars)",
        L"3g2, 3gp, 4xm, anm, apm, asf, av1, avi, avr, avs, bfi, bik, bik2, bk2, bmv, c93, cam, cdg, cdxl, cine, dash, dcr, dfa, dv, dxa, film_cpk, fits, flic, flv, frm, gdv, gif, gxf, h261, h263, h264, hevc, ivf, ivr, jps, jv, kux, lvf, lxf, m2t, m2ts, m4v, mj2, mjpeg, mkv, mod, mov, mp4, mpc, mpeg, mpg, mtv, mv, mvi, mxf, nsv, nut, nuv, ogm, paf, pmp, pns, pva, r3d, rl2, rm, roq, rpl, scc, ser, smk, sup, swf, thp, tmv, tod, ts, ty, vc1, vfw, vivo, vmd, vob, webm, wmv, wtv, wve, xmv, y4m, yop, yuv", szVideosExtensionList),
    KEY_LIST(L"Audios extension list (chars)",
        L"3ga, aa, aac, ac3, acm, act, adx, aea, afc, aif, aiff, aix, alaw, amr, apc, ape, au, bfstm, bit, brstm, caf, cdr, cpt, dsf, dss, dts, dtshd, eac3, flac, fsb, g722, g726, gsm, hca, hdp, ics, iff, ircam, it, m4a, m4b, mka, mlp, mmf, mp3, musx, ogg, oma, opus, pvf, qcp, ram, raw, rf64, rso, sap, sbg, sds, sdx, sf, shn, sid, tak, tta, u8, vag, voc, vqf, w64, wav, wma, wv, xa, xwma", szAudiosExtensionList),
    KEY_LIST(L"Images extension list (chars)",
        L"3fr, ai, apng, arw, avif, b3d, blp, bmp, cgm, clp, cmx, cr2, crw, dcm, dcx, dds, dib, djvu, dng, dwg, dxf, ecw, emf, eps, erf, exr, fit, fpx, g3, heic, heif, ids, iiq, im1, im24, im32, im8, ima, img, iw44, j2k, jfif, jls, jng, jp2, jpc, jpe, jpeg, jpf, jpg, jpm, jxl, jxr, kdc, lbm, mng, mos, mpo, mrw, nef, nrw, orf, pbm, pcc, pcd, pcx, pdf, pdn, pef, pgm, plt, png, pnm, ppm, ps, psd, psp, raf, ras, rgb, rgba, rle, rw2, rwl, sff, sfw, sgi, srf, sun, svg, tga, tif, tiff, ttf, urt, wbc, wbmp, wbz, wdp, webp, wmf, wsq, x3f, xbm, xcf, xcfbz2, xcfgz, xpm", szImagesExtensionList),
    KEY_LIST(L"Comics extension list (chars)", L"cb7, cbr, cbt, cbz", szComicsExtensionList),
    KEY_LIST(L"Albums extension list (chars)", L"apk, epub, jar, rar, waz, zip", szAlbumsExtensionList),
    KEY_LIST(L"Lister extension exclusion(!) list (chars)", L"djvu, pdf", szListerExclusionList),
    KEY_TOOL(L"ffmpegPath (chars)", L"bin\\ffmpeg\\ffmpeg.exe", szFfmpegPath),
    KEY_TOOL(L"ffplayPath (chars)", L"bin\\ffmpeg\\ffplay.exe", szFfplayPath),
    KEY_TOOL(L"ffprobePath (chars)", L"bin\\ffmpeg\\ffprobe.exe", szFfprobePath),
    KEY_TOOL(L"irfanviewPath (chars)", L"bin\\IrfanView_64\\i_view64.exe", szIrfanviewPath),
    KEY_FLAG(L"ListerSupport (bool)", L"1", bListerSupport),
    KEY_TEXT(L"ffmpegVideoPreInputParams (chars)", L"-t 10 -noaccurate_seek -loglevel panic", szFfmpegVideoPreInputParams),
    KEY_TEXT(L"ffmpegVideoPostInputParams (chars)",
        L"-frames:v 1 -an -vsync 0 -f mjpeg -qscale:v 2 -y", szFfmpegVideoPostInputParams),
    KEY_TEXT(L"ffmpegSharpenInputParams (chars)",
        L"smartblur=lr=0.62:ls=-0.90:lt=-5.0:cr=0.5:cs=1.0:ct=1.5", szFfmpegSharpenInputParams),
    KEY_TEXT(L"ffmpegAudioPostInputParams (chars)", L"-frames:v 1 -f mjpeg -qscale:v 1 -y", szFfmpegAudioPostInputParams),
    KEY_TEXT(L"ffplayListerVideoPreInputParams (chars)",
        L"-volume 50 -loop 0 -fast -framedrop -loglevel panic", szFfplayListerVideoPreInputParams),
    KEY_TEXT(L"ffplayListerVideoOSDInputParams (chars)",
        L"drawtext=fontfile='c\\:/Windows/Fonts/micross.ttf':text='%{pts\\:gmtime\\:0\\:%H\\\\\\:%M\\\\\\:%S}':x='if(lt(h,w),w/50,w/31.25)':y='if(lt(h,w),h/31.25,h/50)':fontsize='if(lt(h,w),w/25,h/25)':fontcolor=ddddee:shadowcolor=darkblue:shadowx=2:shadowy=2", szFfplayListerVideoOSDInputParams),
    KEY_TEXT(L"ffplayListerAudioPreInputParams (chars)",
        L"-volume 50 -loop 1 -showmode 2 -fast -framedrop -loglevel panic", szFfplayListerAudioPreInputParams),
    KEY_TEXT(L"irfanviewMidInputParam (chars)",
        L"/silent /aspectratio /resample /sharpen=16 /jpgq=91", szIrfanviewMidInputParam),
    KEY_TEXT(L"irfanviewListerPreInputParams (chars)", L"/silent /hide 7", szIrfanviewListerPreInputParams),
    KEY_TEXT(L"ffmpegVideo_LR (chars)", L"crop=iw/2:ih:0:0", szFfmpegVideo_LR),
    KEY_TEXT(L"ffmpegVideo_TB (chars)", L"crop=iw:ih/2:0:0", szFfmpegVideo_TB),
    KEY_TEXT(L"ffmpegVideo_VR_LR (chars)", L"crop=iw/2:ih/1.5714:0:ih/5", szFfmpegVideo_VR_LR),
    KEY_TEXT(L"ffmpegVideo_VR_TB (chars)", L"crop=iw/1.5714:ih/2:iw/5:0", szFfmpegVideo_VR_TB),
    KEY_TEXT(L"ffmpegVideo_VR_180 (chars)", L"lenscorrection=0.5:0.5:-0.53:0.34", szFfmpegVideo_VR_180),
    KEY_TEXT(L"ffmpegVideo_VR_360 (chars)", L"lenscorrection=0.5:0.5:-0.53:0.34", szFfmpegVideo_VR_360),
    KEY_FLAG(L"AudioCoverHasPriority (bool)", L"1", bAudioCoverHasPriority),
    KEY_TEXT(L"AudioColorLeft (chars)", L"7fffbe", szAudioColorLeft),
    KEY_TEXT(L"AudioColorRight (chars)", L"ff80c0", szAudioColorRight),
    KEY_REAL(L"AudioTimeMaxInSecs (double)", L"900", gAudioTimeMaxInSecs),
    KEY_FLAG(L"AudioShowFadeInOut (bool)", L"1", bAudioShowFadeInOut),
    KEY_REAL(L"AudioIdealFadeInOutInSecs (double)", L"2.00", gAudioIdealFadeInOutInSecs),
    KEY_INTEGER(L"AudioSeparatorThickness (int)", L"1", gAudioSeparatorThickness),
    KEY_FLAG(L"ffmpegAudioSmoothen (bool)", L"0", bFfmpegAudioSmoothen),
    KEY_FLAG(L"OverlayInfo (bool)", L"1", bOverlayInfo),
    KEY_SHORT_TEXT(L"ffmpegVideoDrawTextAdditional (chars)",
        L"fontfile=c\\:/Windows/Fonts/micross.ttf:fix_bounds=1:shadowcolor=black:shadowx=1:shadowy=1", szFfmpegVideoDrawTextAdditional),
    KEY_FLAG(L"OverlayHideHoursIfZero (bool)", L"1", bOverlayHideHoursIfZero),
    KEY_INTEGER(L"FontSize (int)", L"11", gFontSize),
    KEY_INTEGER(L"FontSizeLine2 (int)", L"9", gFontSizeLine2),
    KEY_INTEGER(L"FontSizeLine3 (int)", L"9", gFontSizeLine3),
    KEY_SHORT_TEXT(L"FontColor (chars)", L"dddddd", szFontColor),
    KEY_INTEGER(L"TextLine1XPos (int)", L"6", gTextLine1XPos),
    KEY_INTEGER(L"TextLine1YPos (int)", L"7", gTextLine1YPos),
    KEY_INTEGER(L"TextLine2XPos (int)", L"102", gTextLine2XPos),
    KEY_INTEGER(L"TextLine2YPos (int)", L"7", gTextLine2YPos),
    KEY_INTEGER(L"TextLine3XPos (int)", L"102", gTextLine3XPos),
    KEY_INTEGER(L"TextLine3YPos (int)", L"84", gTextLine3YPos),
    KEY_FLAG(L"3DSupport (bool)", L"1", b3DSupport),
    KEY_REAL(L"PercentPosition (double)", L"17.4", gPercentPosition),
    KEY_REAL(L"UserRefreshTimeout (double)", L"1.35", gUserRefreshTimeout),
    KEY_REAL(L"PercentRotationStep (double)", L"12.50", gPercentRotationStep),
    KEY_FLAG(L"ListerDirectorySupport (bool)", L"1", bListerDirectorySupport),
    KEY_INTEGER(L"ListerCloseTempFileSleepTimeInMS (int)", L"250", gListerCloseTempFileSleepTimeInMS),
    KEY_FLAG(L"ADS (bool)", L"0", bADS),
    KEY_FLAG(L"ADS RefreshIfFileTimeChanged (bool)", L"1", bADSRefreshIfFileTimeChanged),
    KEY_FLAG(L"ADS RefreshIfCmdChanged (bool)", L"1", bADSRefreshIfCmdChanged),
    KEY_FLAG(L"ADS AlwaysSaveCache (bool)", L"1", bADSAlwaysSaveCache),
    KEY_FLAG(L"ADS Multiple Thumbnail Sizes (bool)", L"0", bADSMultipleThumbnailSizes),
    KEY_FLAG(L"ADS force refresh (bool)", L"0", bADSForceRefreshini),
    KEY_FLAG(L"ADS Ignore ADS Warning (bool)", L"0", bADSIgnoreADSWarning),
    KEY_FLAG(L"Debug (bool)", L"0", bDebug),
};
// clang-format on
// A row too many does not compile; a row too few would leave the last row
// zeroed, with no key name, for every load to trip over.
static_assert(gSettingKeys[kSettingKeyCount - 1].name != nullptr, "a settings key has no row");

#undef KEY_LIST
#undef KEY_TEXT
#undef KEY_SHORT_TEXT
#undef KEY_TOOL
#undef KEY_FLAG
#undef KEY_INTEGER
#undef KEY_REAL
