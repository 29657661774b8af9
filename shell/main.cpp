// Start-up: single instance, the main window and the message loop.
#include "controls.h"
#include "placement.h"
#include "tessel.h"

#include <commctrl.h>

HINSTANCE Instance;
LPSTR CommandLine;
HICON AppIcon;
HCURSOR ArrowCursor;
int ScreenWidth;
int ScreenHeight;
HWND MainWindow;

const char WindowTitle[] = "Tessel C-Language Simulator";

namespace {
constexpr char InstanceMutexName[] = "TesselSingleInstance";
constexpr DWORD InstanceWaitLimit = 5000;
constexpr DWORD InstanceWaitStep = 50;
constexpr int ExitNoWindow = 1;
constexpr int ExitLoopFailed = 2;

bool RaiseRunningInstance()
{
    HWND found = FindWindowA(WindowClassName, nullptr);
    if (found == nullptr)
        return false;
    ShowWindow(found, SW_RESTORE);
    SetForegroundWindow(found);
    return true;
}

// A window class alone lets two simultaneous starts both miss each other, so the
// first start holds a mutex. A later one waits for the holder's window to appear,
// or takes over if the holder ends without one.
bool BecomeTheOnlyInstance()
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, InstanceMutexName);
    if (mutex == nullptr)
        return true;  // the window class check below still keeps most second starts out
    for (DWORD waited = 0;; waited += InstanceWaitStep) {
        DWORD state = WaitForSingleObject(mutex, waited == 0 ? 0 : InstanceWaitStep);
        if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED)
            return true;
        if (RaiseRunningInstance() || waited >= InstanceWaitLimit)
            return false;
    }
}

void RegisterMainClass()
{
    WNDCLASSEXA wc;
    wc.cbSize = sizeof wc;
    wc.style = CS_BYTEALIGNWINDOW | CS_BYTEALIGNCLIENT;
    wc.lpfnWndProc = MainWindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = Instance;
    wc.hIcon = AppIcon;
    wc.hCursor = ArrowCursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = WindowClassName;
    wc.hIconSm = AppIcon;
    RegisterClassExA(&wc);
}

int RunMessageLoop()
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return ExitLoopFailed;
        // Only releases addressed to the main window itself: a focused child keeps its own keys.
        if (msg.hwnd == MainWindow && msg.message == WM_KEYUP && msg.wParam == VK_F1)
            MessageBoxA(MainWindow, "Hi, you pressed F1", WindowTitle, MB_OK);
        // Tessel's timers have no callback: a WM_TIMER that names one was posted by another program, and Wine's
        // DispatchMessage would call that address whenever a timer of that number is running.
        if (msg.message == WM_TIMER && msg.lParam != 0)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int RunTessel()
{
    if (!BecomeTheOnlyInstance() || RaiseRunningInstance())
        return 0;
    RegisterMainClass();
    WindowPlacement p = CentredMainWindow(ScreenWidth, ScreenHeight);
    MainWindow = CreateWindowExA(0, WindowClassName, WindowTitle, WS_OVERLAPPEDWINDOW, p.x, p.y, p.width, p.height,
                                 nullptr, nullptr, Instance, nullptr);
    if (MainWindow == nullptr)
        return ExitNoWindow;
    ShowWindow(MainWindow, SW_SHOWNORMAL);
    UpdateWindow(MainWindow);
    return RunMessageLoop();
}
}

// The program's own entry point: there is no C runtime to run before it.
extern "C" __attribute__((force_align_arg_pointer)) void TesselEntry()
{
    InitCommonControls();
    Instance = GetModuleHandleA(nullptr);
    CommandLine = GetCommandLineA();
    AppIcon = LoadIconA(Instance, MAKEINTRESOURCEA(IdAppIcon));
    ArrowCursor = LoadCursorA(nullptr, IDC_ARROW);
    ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    ExitProcess(static_cast<UINT>(RunTessel()));
}
