// Starting, watching and stopping tessel.exe for the end-to-end tests, and reading its window from outside.
#pragma once
#include "probe_protocol.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

// Where tessel.exe is, from the driver's command line.
extern std::string TesselPath;

// A whole number from the environment, for the long runs of the scripts; `fallback` if unset.
int EnvNumber(const char* name, int fallback);

// How long the driver waits for tessel.exe, in ms: generous, as two Wine runs may share this machine's two cores,
// and TESSEL_TIME_SCALE times that where everything runs several times slower (the emulated machine sets it).
extern const DWORD WaitLimit;

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

// The 64 bit cells: n = 0..31 are the latches 700..731, n = 32..63 the directions 750..781.
int BitCellId(int n);
bool IsBitCell(int id);

// What double-clicks on the bit cells make of the registers, the cells' captions and the summary line.
struct PortModel {
    int registers[8] = {};  // latch of port p at 2p, its direction at 2p + 1
    char letter = ' ';      // the port whose latch was double-clicked last

    void DoubleClick(int cellId);
    std::string Caption(int cellId) const;
    std::string Summary() const;
};

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
// Every top-level window of the process, visible or not, in z-order.
std::vector<HWND> TopLevelWindowsOf(DWORD pid);
// Presses the box's OK button and waits for the box to go.
bool DismissBox(HWND box);

// Real input through the system's queue, at screen coordinates.
void ClickAt(int x, int y, int clicks);
void PressKey(WORD key);

// What a running tessel.exe holds, counted where Wine gives real figures.
struct Resources {
    int windows;         // its windows, top-level and children, found by its process
    int gdiObjects;      // counted inside it by the probe; -1 if that failed
    SIZE_T pagefileKiB;  // PagefileUsage of GetProcessMemoryInfo
    int vmRssKiB;        // VmRSS of its Linux process, read inside it by the probe; -1 if unreadable
    int rssFileKiB;      // the part of VmRSS that is its program's and libraries' pages (RssFile), likewise
};
std::ostream& operator<<(std::ostream& out, const Resources& r);

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
    // Returns once tessel has handled every message posted to it so far; sent ones are handled on sending.
    void Settle();
    std::vector<MessageBoxSeen> Boxes() const { return MessageBoxesOf(launch_.pid); }
    // The keyboard focus of tessel's thread.
    HWND Focus() const;

    // Asks the probe DLL, hooked into tessel's thread on first use.
    ProbeReply Probe(ProbeQuery query, HWND window);
    Resources Held();

private:
    void* Remote();

    Launch launch_{};
    HWND main_ = nullptr;
    DWORD tickBefore_ = 0;
    DWORD tickAfter_ = 0;
    void* remote_ = nullptr;
    int settled_ = 0;
    HHOOK hook_ = nullptr;
};
