// The functions the page calls in the WebAssembly module: start, captions, bit cells, layout, placement.
#pragma once
#include <cstdint>

#define TESSEL_EXPORT extern "C" __attribute__((visibility("default")))

// One control as the page reads it from memory: seven 32-bit words.
struct WebControl {
    int32_t id;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t kind;  // ControlKind
    const char* caption;
};

// Zeroes the registers, seeds from the millisecond count (0 seeds as on Windows) and builds the table.
TESSEL_EXPORT void TesselCreate(uint32_t tickCount);

// The statement of set position `position` (0..24), and of any record of the table.
TESSEL_EXPORT const char* TesselInstructionText(uint32_t position);
TESSEL_EXPORT const char* TesselRecordText(uint32_t record);

// A double-click on control `id`: the cell's new caption, or null when `id` is no bit cell.
// The port summary it composes is then read with TesselSummary().
TESSEL_EXPORT const char* TesselDoubleClick(int32_t id);
TESSEL_EXPORT const char* TesselSummary();

// The control table flattened in creation order; the status parts and their fixed texts.
TESSEL_EXPORT int32_t TesselControlCount();
TESSEL_EXPORT const WebControl* TesselControl(int32_t n);
TESSEL_EXPORT int32_t TesselStatusPartCount();
TESSEL_EXPORT int32_t TesselStatusPartEdge(int32_t part);
TESSEL_EXPORT const char* TesselStatusPartText(int32_t part);

// The window's place in a viewport of the given size: x, y, width, height.
TESSEL_EXPORT const int32_t* TesselPlacement(int32_t viewportWidth, int32_t viewportHeight);
