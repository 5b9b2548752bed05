// Message boxes: the plug-in's only way of telling a person something.
#pragma once
#include <windows.h>

// Every box goes through this presenter, so that tests can record boxes
// instead of blocking on a modal window. Returns the button pressed.
typedef int (*MessagePresenter)(const wchar_t* text, const wchar_t* caption, UINT style);
extern MessagePresenter gMessagePresenter;

// Capacities (terminator included) of the box texts.
enum { kErrorBoxChars = 2048, kDebugBoxBytes = 2048, kDebugBoxWchars = 2048 };

// An identical box (same caption and text) is shown once, until
// ForgetShownBoxes: a failure met by every request of a folder of files
// must not become a box per file.
void ErrorBox(const wchar_t* subject, const wchar_t* message);
// The same, shown once for the message whatever the subject: the first
// file that meets a failure is named, the next ones add nothing a person
// needs to click away.
void ErrorBoxOncePerMessage(const wchar_t* subject, const wchar_t* message);
void DebugBoxChars(const char* text);
void DebugBoxWchars(const wchar_t* text);
void DebugBoxInt(int value);

// The same boxes for reports that the caller shows only while
// "Debug (bool)" is on: whoever turned that on wants every occurrence, so
// these are shown every time.
void DebugOnlyErrorBox(const wchar_t* subject, const wchar_t* message);
void DebugOnlyBoxChars(const char* text);
void DebugOnlyBoxWchars(const wchar_t* text);
void DebugOnlyBoxInt(int value);

// Lets every box be shown once more. The settings loader calls it when the
// settings in force change and when they become usable after a failure.
void ForgetShownBoxes();
