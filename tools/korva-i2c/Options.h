#pragma once

#include <cstdint>
#include <string>

// The command line of korva-i2c.
struct ToolOptions
{
    std::string command;         // detect, scan, read, write or help
    std::uint16_t port = 1;      // 1 = /dev/parport0, 2 = /dev/parport1
    int bus = -1;                // N of /dev/i2c-N; -1: the parallel port
    int address = -1;            // 8-bit form, bit 0 clear
    int input = -1;              // converter input 0..3, -1: read a port device
    double fullScale = 255.0;    // physical value of raw 255
    std::uint8_t control = 0x40; // converter control byte before the input number
    int value = -1;              // byte to write
    bool simulate = false;
    bool trace = false;
};

// Fills options from the arguments; returns an error message, or "" when the
// line is fine.
std::string ParseOptions(int argc, const char* const* argv, ToolOptions& options);

const char* UsageText();
