// What the windowed checks look at from inside a Windows process: the live GDI and USER
// objects, whether a window still had a drop target registered when it went, and one
// open/idle/close round of a plug-in's editor in a fresh host window.
#pragma once

#include "HostWindow.h"
#include "PluginHost.h"

#include <windows.h>

#include <string>

// "counts gdi=G user=U owngdi=O windows=W frameclass=C" (see the source for how each is
// counted).
std::string countObjects();

// Watches a window to its very end: at WM_NCDESTROY, after its own procedure has handled
// WM_DESTROY, it notes whether OLE still has a drop target registered for it (RegisterDragDrop
// keeps it as the window property "OleDropTargetInterface" until RevokeDragDrop).
struct DestroyProbe {
    static void watch(HWND hwnd);
    static bool destroyed();  // WM_NCDESTROY arrived since watch()
    static bool targetLeft(); // a drop target was still registered then
};

// Opens the plug-in's editor in a host window, lets it paint and idle for a moment, then
// closes it as a host does, or (parentFirst) destroys the host window first and closes the
// editor after a few more idles. Answers "editor child=1 registered=1[ childgone=1
// targetleft=0] classleft=0" or "error ...".
std::string runEditor(cli::PluginHost& plugin, cli::HostWindow& window, bool parentFirst = false);
