// The request state: set by the pipeline for each thumbnail request and
// read by the generators and the stream cache. It lives here, apart from
// the pipeline, so that those readers depend on nothing but this leaf.
#include "plugin/state.h"

wchar_t gFileExtension[kHostPathChars];
int gThumbWidth = 0;
int gThumbHeight = 0;
wchar_t gLastRequestPath[kHostPathChars];
int gLastSuccessTime = 0;
bool gPositionActive = false;
double gCurrentPosition = 0;
wchar_t szFileThumbsOUT[kThumbOutChars];
