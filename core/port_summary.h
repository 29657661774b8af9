// The status line with the four latch bytes in hex and the port clicked last.
#pragma once
#include <cstdint>

constexpr unsigned PortSummaryLength = 58;

extern char PortSummary[PortSummaryLength + 1];

// Writes two upper-case hex digits, no terminator; returns the position after them.
char* FormatHexByte(uint8_t byte, char* destination);

// A letter that could not be shown (a control character or the terminator) is kept as a blank,
// so the line always keeps its length.
void SetSummaryPortLetter(char letter);

const char* ComposePortSummary();
