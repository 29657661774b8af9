// Starting, watching and stopping tessel.exe for the end-to-end tests, and reading its window from outside.
#pragma once
#include "probe_protocol.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

// Where tessel.exe is, from the driver's command line.
extern std::string TesselPath;

// Generous: two Wine sessions may share this machine's two cores.
constexpr DWORD WaitLimit = 10000;

// Polls `done` until it holds or `limit` ms have passed; returns its last answer.
template <class Done>
bool WaitFor(Done done, DWORD limit = WaitLimit)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < limit; Sleep(10))
        if (done())
            return true;
    return done();
}

struct Launch {
    HANDLE process;
    DWORD pid;
};

// Starts tessel.exe without waiting for it. StopEveryLaunch ends whatever still runs.
Launch LaunchTessel();
// Starts them suspended and lets them all go at once.
std::vector<Launch> LaunchTogether(int count);
void StopEveryLaunch();
// The process's exit code, or STILL_ACTIVE if it outlives `limit`.
DWORD ExitCodeWithin(HANDLE process, DWORD limit = WaitLimit);

// SendMessage that gives up (and fails the test) when tessel.exe does not answer.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Styles and class styles read best in hex in failure messages.
std::string Hex(DWORD value);

std::vector<HWND> TesselWindows();
std::string TextOf(HWND window);
std::string ClassOf(HWND window);
// Names a control of the identifier plan for failure messages, e.g. "latch cell 711 (port B bit 3)".
std::string ControlName(int id);

// Left, top, width, height; of a child in its parent's client coordinates.
struct Rect {
    int x, y, width, height;
    bool operator==(const Rect& other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};
std::ostream& operator<<(std::ostream& out, const Rect& r);
Rect ScreenRect(HWND window);
Rect ChildRect(HWND child);
Rect ClientRect(HWND window);

struct MessageBoxSeen {
    HWND window;
    HWND owner;
    std::string caption;
    std::string text;  // of the static control 0xFFFF
    int buttons;       // visible ones
};
std::vector<MessageBoxSeen> MessageBoxesOf(DWORD pid);
// Presses the box's OK button and waits for the box to go.
bool DismissBox(HWND box);

// Real input through the system's queue, at screen coordinates.
void ClickAt(int x, int y, int clicks);
void PressKey(WORD key);

// One running tessel.exe and its window.
class Tessel {
public:
    Tessel() = default;
    Tessel(const Tessel&) = delete;
    Tessel& operator=(const Tessel&) = delete;
    ~Tessel();  // ends the process if it still runs

    // Launches and waits for the window with its instruction captions; adds a failure if it never comes.
    bool Start();
    // Posts WM_CLOSE and returns the exit code (STILL_ACTIVE if the process stays).
    DWORD Close();

    HWND Main() const { return main_; }
    HWND Item(int id) const { return GetDlgItem(main_, id); }
    HWND StatusBar() const { return Item(200); }
    DWORD Pid() const { return launch_.pid; }
    HANDLE Process() const { return launch_.process; }
    // GetTickCount() just before the launch and once the window was ready.
    DWORD TickBefore() const { return tickBefore_; }
    DWORD TickAfter() const { return tickAfter_; }

    // Status bar messages through memory inside tessel.exe: their pointers are not marshalled.
    std::string StatusText(int part);
    int StatusTextType(int part);  // the drawing type in the high word of SB_GETTEXTLENGTH
    std::vector<int> StatusParts();
    void SetStatusText(int part, const char* text);

    // A notification as a control would send it; never for the test commands, whose boxes block.
    void Notify(int id, WORD code);
    std::vector<MessageBoxSeen> Boxes() const { return MessageBoxesOf(launch_.pid); }
    // The keyboard focus of tessel's thread.
    HWND Focus() const;

    // Asks the probe DLL, hooked into tessel's thread on first use.
    ProbeReply Probe(ProbeQuery query, HWND window);

private:
    void* Remote();

    Launch launch_{};
    HWND main_ = nullptr;
    DWORD tickBefore_ = 0;
    DWORD tickAfter_ = 0;
    void* remote_ = nullptr;
    HHOOK hook_ = nullptr;
};
