// vistrel-host view: a window of ours stands in for the Lister and shows
// what the plug-in embeds in it.
#pragma once
#include <windows.h>

#include "plugin/host_interface.h"

enum {
    kViewWindowWithEnd = 0, // a window came back, and it ended on the close
    kViewNoWindow = 1,
    kViewFailure = 2, // the screenshot could not be written
    kViewStillRunning = 3, // a window came back but did not end on the close
};

struct ViewRequest {
    const wchar_t* file;
    int width, height; // client area of the stand-in Lister
    int seconds; // how long the window lives before the close
    const wchar_t* shotPath; // null: no screenshot
};

// Opens the stand-in Lister, asks the plug-in for its window, keeps the
// messages flowing (resizing the child with the window, as the file
// manager does), optionally saves a screenshot, closes the view, reports
// on standard output and returns one of the codes above.
int RunView(ListLoadWFn listLoad, ListCloseWindowFn listClose, const ViewRequest* request);
