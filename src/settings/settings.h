// The settings file beside the plug-in and the values loaded from it.
// Every host call that does work calls IniFileOp first.
#pragma once
#include <windows.h>

enum {
    kSettingsChars = 4096, // ordinary "(chars)" values, terminator included
    kSettingsPathChars = 260, // tool paths, draw-text extras and font colour
};

// 0: settings unusable (do nothing more), 1: unchanged, 2: loaded now.
int IniFileOp();

// Keys 1-6: extension lists.
extern wchar_t szVideosExtensionList[kSettingsChars];
extern wchar_t szAudiosExtensionList[kSettingsChars];
extern wchar_t szImagesExtensionList[kSettingsChars];
extern wchar_t szComicsExtensionList[kSettingsChars];
extern wchar_t szAlbumsExtensionList[kSettingsChars];
extern wchar_t szListerExclusionList[kSettingsChars];
// Keys 7-10: tool paths.
extern wchar_t szFfmpegPath[kSettingsPathChars];
extern wchar_t szFfplayPath[kSettingsPathChars];
extern wchar_t szFfprobePath[kSettingsPathChars];
extern wchar_t szIrfanviewPath[kSettingsPathChars];
extern bool bListerSupport;
extern wchar_t szFfmpegVideoPreInputParams[kSettingsChars];
extern wchar_t szFfmpegVideoPostInputParams[kSettingsChars];
extern wchar_t szFfmpegSharpenInputParams[kSettingsChars];
extern wchar_t szFfmpegAudioPostInputParams[kSettingsChars];
extern wchar_t szFfplayListerVideoPreInputParams[kSettingsChars];
extern wchar_t szFfplayListerVideoOSDInputParams[kSettingsChars];
extern wchar_t szFfplayListerAudioPreInputParams[kSettingsChars];
extern wchar_t szIrfanviewMidInputParam[kSettingsChars];
extern wchar_t szIrfanviewListerPreInputParams[kSettingsChars];
extern wchar_t szFfmpegVideo_LR[kSettingsChars];
extern wchar_t szFfmpegVideo_TB[kSettingsChars];
extern wchar_t szFfmpegVideo_VR_LR[kSettingsChars];
extern wchar_t szFfmpegVideo_VR_TB[kSettingsChars];
extern wchar_t szFfmpegVideo_VR_180[kSettingsChars];
extern wchar_t szFfmpegVideo_VR_360[kSettingsChars];
extern bool bAudioCoverHasPriority;
extern wchar_t szAudioColorLeft[kSettingsChars];
extern wchar_t szAudioColorRight[kSettingsChars];
extern double gAudioTimeMaxInSecs;
extern bool bAudioShowFadeInOut;
extern double gAudioIdealFadeInOutInSecs;
extern int gAudioSeparatorThickness;
extern bool bFfmpegAudioSmoothen;
extern bool bOverlayInfo;
extern wchar_t szFfmpegVideoDrawTextAdditional[kSettingsPathChars];
extern bool bOverlayHideHoursIfZero;
extern int gFontSize;
extern int gFontSizeLine2;
extern int gFontSizeLine3;
extern wchar_t szFontColor[kSettingsPathChars];
extern int gTextLine1XPos;
extern int gTextLine1YPos;
extern int gTextLine2XPos;
extern int gTextLine2YPos;
extern int gTextLine3XPos;
extern int gTextLine3YPos;
extern bool b3DSupport;
extern double gPercentPosition;
extern double gUserRefreshTimeout;
extern double gPercentRotationStep;
extern bool bListerDirectorySupport;
extern int gListerCloseTempFileSleepTimeInMS;
extern bool bADS;
extern bool bADSRefreshIfFileTimeChanged;
extern bool bADSRefreshIfCmdChanged;
extern bool bADSAlwaysSaveCache;
extern bool bADSMultipleThumbnailSizes;
extern bool bADSForceRefreshini;
extern bool bADSIgnoreADSWarning;
extern bool bDebug;
