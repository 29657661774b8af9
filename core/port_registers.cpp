// The simulated latch and direction registers of ports A..D.
#include "port_registers.h"

uint8_t PortRegisters[2 * PortCount];

void ResetPortRegisters()
{
    for (uint8_t& reg : PortRegisters)
        reg = 0;
}

ToggleResult ToggleRegisterBit(uint8_t port, uint8_t kind, uint8_t bit)
{
    if (port >= PortCount)
        port = PortCount - 1;
    if (kind > Direction)
        kind = Direction;
    if (bit > 7)
        bit = 7;

    uint8_t& reg = PortRegisters[2 * port + kind];
    uint8_t mask = static_cast<uint8_t>(1u << bit);
    reg = static_cast<uint8_t>(reg ^ mask);
    bool set = (reg & mask) != 0;
    if (kind == Latch)
        return {set, set ? " 1 " : " 0 "};
    return {set, set ? "In" : "Out"};
}

uint8_t LatchByte(uint8_t port)
{
    return PortRegisters[2 * (port & 3u)];
}
