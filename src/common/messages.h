// Message boxes: the plug-in's only way of telling a person something.
#pragma once
#include <windows.h>

// Every box goes through this presenter, so that tests can record boxes
// instead of blocking on a modal window. Returns the button pressed.
typedef int (*MessagePresenter)(const wchar_t* text, const wchar_t* caption, UINT style);
extern MessagePresenter gMessagePresenter;

// Capacities (terminator included) of the box texts.
enum { kErrorBoxChars = 2048, kDebugBoxBytes = 2048, kDebugBoxWchars = 2048 };

void ErrorBox(const wchar_t* subject, const wchar_t* message);
void DebugBoxChars(const char* text);
void DebugBoxWchars(const wchar_t* text);
void DebugBoxInt(int value);
