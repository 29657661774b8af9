// A double-click on a bit cell, the same in both shells: flip the bit, name the port, compose the summary.
#pragma once
#include "controls.h"
#include "port_registers.h"
#include "port_summary.h"

// Flips the register bit of the latch or direction cell `id`, names the port in the summary when it is a
// latch cell and composes the summary line (PortSummary). Returns the cell's new text, or nullptr when
// `id` is no bit cell. Inline, so that each shell compiles it into its own handler.
inline const char* FlipBitCell(int id)
{
    int offset;
    uint8_t kind;
    if (id >= IdLatchBase && id < IdLatchBase + CellsPerRow) {
        offset = id - IdLatchBase;
        kind = Latch;
    } else if (id >= IdDirectionBase && id < IdDirectionBase + CellsPerRow) {
        offset = id - IdDirectionBase;
        kind = Direction;
    } else {
        return nullptr;
    }
    uint8_t port = static_cast<uint8_t>(offset / BitsPerPort);
    uint8_t bit = static_cast<uint8_t>(offset % BitsPerPort);
    // Only latch clicks name their port; a direction click keeps the previous letter.
    if (kind == Latch)
        SetSummaryPortLetter(static_cast<char>('A' + port));
    const char* text = ToggleRegisterBit(port, kind, bit).cellText;
    ComposePortSummary();
    return text;
}
