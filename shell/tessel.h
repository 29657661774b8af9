// Process-wide handles of the shell and the procedures its files share.
#pragma once
#include <windows.h>

extern HINSTANCE Instance;
extern LPSTR CommandLine;
extern HICON AppIcon;
extern HCURSOR ArrowCursor;
extern int ScreenWidth;
extern int ScreenHeight;
extern HWND MainWindow;
extern HWND StatusBar;
extern HFONT SharedFont;

extern const char WindowTitle[];

// main_window.cpp
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// status_bar.cpp
void CreateStatusBar(HWND parent);
void SetStatusLabels();
void ShowStatusText(const char* text);
void ShowTransientStatus(HWND window, const char* text);
void DockStatusBar();
void ClearTransientStatus(HWND window, WPARAM timerId);

// layout.cpp
void CreateSharedFont();
void CreateControls(HWND window);
void FillInstructionSet(HWND window);

// commands.cpp
void HandleCommand(HWND window, WPARAM wParam);
