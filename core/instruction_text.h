// The C statement of the current instruction, written into per-kind template buffers.
#pragma once

// Renders CurrentInstruction; the text stays valid until the next rendering of the same kind.
// Out-of-range fields are first clamped, in CurrentInstruction too, to the last valid value
// (kind 3, port D, bit 7), so the text always names a real register.
const char* RenderInstruction();
