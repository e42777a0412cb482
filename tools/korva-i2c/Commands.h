#pragma once

#include "Options.h"

#include <iosfwd>

#include <string>

class CI2CAdapter;
class CI2CBus;

// Runs one command of korva-i2c on the bus; CERR passes through.
void RunCommand(const ToolOptions& options, CI2CBus& bus, std::ostream& out);
// The same on a kernel adapter (options.bus), named as the kernel names it.
void RunAdapterCommand(const ToolOptions& options, CI2CAdapter& adapter, const std::string& name,
                       std::ostream& out);
