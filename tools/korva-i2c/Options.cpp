#include "Options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

namespace {
// Decimal, or hexadecimal with 0x; the whole text must be the number (strtol
// alone would also take leading blanks, tabs and signs).
bool ParseInteger(const std::string& text, long low, long high, long& result)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const auto first = static_cast<unsigned char>(digits.empty() ? '\0' : digits[0]);
    if (!(hex ? std::isxdigit(first) : std::isdigit(first)))
        return false;
    errno = 0;
    char* end = nullptr;
    result = std::strtol(digits.c_str(), &end, hex ? 16 : 10);
    return errno == 0 && *end == '\0' && result >= low && result <= high;
}

// A number such as 5, 5.0, .5 or 0x10; strtod alone would also take leading
// blanks, tabs, signs and words such as "inf".
bool ParseReal(const std::string& text, double& result)
{
    if (text.empty() || (!std::isdigit(static_cast<unsigned char>(text[0])) && text[0] != '.'))
        return false;
    char* end = nullptr;
    result = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(result);
}

const std::set<std::string> VALUE_OPTIONS = {"--port",       "--bus",     "--addr", "--input",
                                             "--full-scale", "--control", "--value"};

// Which value options each command takes.
const std::map<std::string, std::set<std::string>>& CommandOptions()
{
    static const std::map<std::string, std::set<std::string>> table = {
        {"detect", {"--port", "--bus"}},
        {"scan", {"--port", "--bus"}},
        {"read", {"--port", "--bus", "--addr", "--input", "--full-scale", "--control"}},
        {"write", {"--port", "--bus", "--addr", "--value"}},
        {"help", {}},
    };
    return table;
}

std::string SetValue(const std::string& name, const std::string& text, ToolOptions& options)
{
    long number = 0;
    if (name == "--port") {
        if (!ParseInteger(text, 1, 2, number))
            return "--port needs a port number: 1 or 2";
        options.port = static_cast<std::uint16_t>(number);
    } else if (name == "--bus") {
        const std::string prefix = "/dev/i2c-";
        const std::string digits = text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
        if (digits.size() > 4 || !ParseInteger(digits, 0, 9999, number) ||
            digits.find('x') != std::string::npos || digits.find('X') != std::string::npos)
            return "--bus needs an adapter number N or its node /dev/i2c-N";
        options.bus = static_cast<int>(number);
    } else if (name == "--addr") {
        if (!ParseInteger(text, 0, 0xFE, number) || (number & 1))
            return "--addr needs an 8-bit address with bit 0 clear, such as 0x90";
        options.address = static_cast<int>(number);
    } else if (name == "--input") {
        if (!ParseInteger(text, 0, 3, number))
            return "--input needs a converter input from 0 to 3";
        options.input = static_cast<int>(number);
    } else if (name == "--full-scale") {
        if (!ParseReal(text, options.fullScale) || options.fullScale <= 0.0)
            return "--full-scale needs a number above 0, such as 5.0";
    } else if (name == "--control") {
        if (!ParseInteger(text, 0, 0xFF, number) || (number & 3))
            return "--control needs a byte with bits 1 and 0 clear, such as 0x40";
        options.control = static_cast<std::uint8_t>(number);
    } else if (name == "--value") {
        if (!ParseInteger(text, 0, 0xFF, number))
            return "--value needs a byte from 0 to 255 (0x00 to 0xFF)";
        options.value = static_cast<int>(number);
    }
    return "";
}

std::string CheckComplete(const ToolOptions& options)
{
    if (options.command.empty())
        return "no command given";
    if ((options.command == "read" || options.command == "write") && options.address < 0)
        return options.command + " needs --addr";
    if (options.command == "write" && options.value < 0)
        return "write needs --value";
    return "";
}
} // namespace

std::string ParseOptions(int argc, const char* const* argv, ToolOptions& options)
{
    std::set<std::string> given;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            options.command = "help";
            return "";
        }
        if (arg == "--simulate" || arg == "--trace") {
            (arg == "--simulate" ? options.simulate : options.trace) = true;
            continue;
        }
        if (arg.empty() || arg[0] != '-') {
            if (!options.command.empty())
                return "unexpected argument '" + arg + "'";
            if (!CommandOptions().count(arg))
                return "unknown command '" + arg + "'";
            options.command = arg;
            continue;
        }
        std::string value;
        const auto equals = arg.find('=');
        const bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = arg.substr(equals + 1);
            arg.erase(equals);
        }
        // Known before a value is taken, so that a misspelt option is never
        // reported as missing its value or swallows the next argument.
        if (arg == "--simulate" || arg == "--trace" || arg == "--help")
            return arg + " takes no value";
        if (!VALUE_OPTIONS.count(arg))
            return "unknown option '" + arg + "'";
        if (!inlineValue) {
            if (i + 1 >= argc)
                return arg + " needs a value";
            value = argv[++i];
        }
        given.insert(arg);
        if (std::string error = SetValue(arg, value, options); !error.empty())
            return error;
    }
    if (std::string error = CheckComplete(options); !error.empty())
        return error;
    for (const std::string& option : given)
        if (!CommandOptions().at(options.command).count(option))
            return options.command + " does not take " + option;
    if (given.count("--port") && given.count("--bus"))
        return "--port and --bus cannot be used together";
    if (options.trace && options.bus >= 0 && !options.simulate)
        return "--trace with --bus needs --simulate";
    return "";
}

const char* UsageText()
{
    return R"(Usage: korva-i2c COMMAND [OPTIONS]

Talks to the PCF8584 I2C controller behind an EPP parallel port, or with
--bus to an I2C adapter of the Linux kernel (/dev/i2c-N: a Raspberry Pi's
I2C pins, a USB-I2C adapter).

Commands:
  detect  --port N | --bus N        is a controller there? (--bus: the
                                    adapter's name and functions)
  scan    --port N | --bus N        list the addresses that answer
  read    --port N --addr A         read the byte of an 8-bit port device
  read    --port N --addr A --input I [--full-scale F] [--control C]
                                    read input I (0..3) of a converter,
                                    scaled so that raw 255 gives F (255)
  write   --port N --addr A --value V
                                    write byte V to the device at A
  read and write take --bus N instead of --port N as well.

Options:
  --port N      1 = /dev/parport0 (default), 2 = /dev/parport1
  --bus N       the kernel's I2C adapter N, also given as /dev/i2c-N; scan
                probes as i2cdetect does (a read at 0x30-0x37 and 0x50-0x5F,
                7-bit, a quick write elsewhere)
  --addr A      device address in 8-bit form (7-bit address << 1), e.g. 0x90
  --control C   converter control byte, the input is added (default 0x40)
  --simulate    use a simulated board instead of the port: converters at
                0x90 0x92 0x94 0x96 (inputs 0..3 read 0x00 0x80 0xFF 0x40),
                port devices at 0x40 0x42; port 2 has no controller; with
                --bus a simulated adapter with the same devices
  --trace       print the register accesses (with --bus: the I2C messages)
                to standard error
  -h, --help    show this text

Numbers are decimal or hexadecimal with 0x. Exit status: 0 done, 1 bus or
port error, 2 wrong command line.
)";
}
