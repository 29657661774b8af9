// The questions the test driver asks inside tessel.exe, and the shared-memory reply of the probe DLL.
#pragma once
#include <windows.h>

// Sent to tessel's main window with a ProbeQuery as wParam and a window as lParam; the
// probe's hook answers before the window procedure sees it.
constexpr char ProbeMessageName[] = "TesselE2EProbeQuery";
constexpr char ProbeReplyName[] = "TesselE2EProbeReply";
constexpr char ProbeHookName[] = "ProbeHook";

enum ProbeQuery : WPARAM { ProbeFont = 1, ProbeClass = 2, ProbeResources = 3 };

// Handles travel as numbers: they only mean something inside tessel.exe.
struct ProbeReply {
    WPARAM answered;  // the query answered, 0 before the answer

    // ProbeFont: WM_GETFONT of the window and, when set, its description.
    DWORD font;
    LOGFONTA logFont;

    // ProbeClass: the class of the window as tessel.exe sees it.
    DWORD classStyle;
    DWORD icon;
    DWORD smallIcon;
    DWORD resourceIcon;  // LoadIconA(module, 500)
    DWORD cursor;
    DWORD arrowCursor;  // LoadCursorA(NULL, IDC_ARROW)
    DWORD background;
    int iconWidth;
    int iconHeight;

    // ProbeResources: what Wine's GetGuiResources and PrivateUsage do not tell (they answer 0).
    int gdiObjects;  // live GDI objects of tessel.exe; -1 when the count failed its self-check
    int vmRssKiB;    // VmRSS of tessel's Linux process; -1 when /proc cannot be read
    int rssFileKiB;  // the part of it that is pages of files (RssFile); -1 likewise
};
