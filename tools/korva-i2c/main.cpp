// korva-i2c: a bus tool for people wiring a KORVA I2C board.

#include "Commands.h"
#include "Options.h"

#include "hw/I2CBus.h"
#include "hw/RecordingPort.h"
#include "hw/SimBoard.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace {
constexpr int EXIT_BUS_ERROR = 1;
constexpr int EXIT_USAGE = 2;

void ReportError(const CERR& error, const ToolOptions& options)
{
    std::cerr << "korva-i2c: error " << error.GetNumber() << ": " << error.GetText();
    const bool addressError = error.GetNumber() == 4 || error.GetNumber() == 5;
    if (addressError && error.GetDetail() != 0) {
        char address[32];
        std::snprintf(address, sizeof address, " (address 0x%02X)", error.GetDetail());
        std::cerr << address;
    }
    std::cerr << '\n';
    if (error.GetNumber() == 13 && !options.simulate)
        std::cerr << "korva-i2c: port " << options.port << " is /dev/parport" << options.port - 1
                  << ": it must exist (module ppdev), be free (no other program, module lp"
                     " unloaded) and be open to you (group lp)\n";
}
} // namespace

int main(int argc, char** argv)
{
    ToolOptions options;
    if (const std::string error = ParseOptions(argc, argv, options); !error.empty()) {
        std::cerr << "korva-i2c: " << error << "\nTry 'korva-i2c --help'.\n";
        return EXIT_USAGE;
    }
    if (options.command == "help") {
        std::cout << UsageText();
        return 0;
    }

    CSimBoard board;
    board.AddDefaultDevices();
    CPortBackend& port =
        options.simulate ? static_cast<CPortBackend&>(board) : DefaultPortBackend();
    CRecordingPort recorder(port);
    CI2CBus bus(options.trace ? static_cast<CPortBackend&>(recorder) : port);

    int status = 0;
    try {
        RunCommand(options, bus, std::cout);
    } catch (const CERR& error) {
        std::cout.flush();
        ReportError(error, options);
        status = EXIT_BUS_ERROR;
    }
    if (!std::cout.flush()) {
        std::cerr << "korva-i2c: cannot write to standard output\n";
        status = EXIT_BUS_ERROR;
    }
    if (options.trace)
        for (const std::string& line : recorder.CompactTrace())
            std::cerr << line << '\n';
    return status;
}
