#pragma once
// Which converter input measures a channel and which port bit switches it.
// Kept in the program's settings under "Hardware/", never in the document.

#include "base/Station.h"

#include <array>
#include <cstdint>
#include <map>

#include <QString>
#include <QStringList>

class QSettings;

struct ChannelWiring
{
    bool bConverter = false; // false: the channel keeps its test source
    std::uint8_t nConverter = 0x90;
    int nInput = 0;
    double dFullScale = 5.0; // A at raw 255
    bool bOutput = false;    // false: nothing is switched
    std::uint8_t nPort = 0x40;
    int nBit = 0;
    bool bActiveLow = false;
    // The reading must stay at or above the Abschaltstrom this long before
    // the bus trips the output (a decoder's inrush peak); 0: at once.
    int nTripDelayMs = 0;
    static constexpr int kMaxTripDelayMs = 1000;

    bool operator==(const ChannelWiring&) const = default;
};

struct HardwareConfig
{
    static constexpr int kChannels = korva::kChannels;
    enum Port
    {
        Off = 0,
        Port1 = 1,
        Port2 = 2,
        Simulation = 3,
        I2CAdapter = 4 // the kernel's /dev/i2c-<nAdapter>
    };
    static constexpr int kMaxAdapter = 9999;

    int nPort = Off;
    int nAdapter = 0; // with I2CAdapter
    // How often the bus reads every input and checks the limits; the
    // Abfragezeit only says how often the window shows.
    int nSweepMs = 20;
    static constexpr int kMinSweepMs = 5;
    static constexpr int kMaxSweepMs = 1000;
    std::array<ChannelWiring, kChannels> channel{};

    bool operator==(const HardwareConfig&) const = default;

    // The mode is on when a port is chosen and at least one channel is wired.
    bool IsActive() const;
    bool HasConverter() const;
    bool HasOutput() const;

    // What a refused configuration gets wrong and where.
    enum class Field
    {
        None,
        Port,
        ConverterAddress,
        Input,
        FullScale,
        OutputAddress,
        Bit,
        SweepPeriod,
        TripDelay
    };
    struct Refusal
    {
        QString reason; // German; empty when the configuration can be used
        int nChannel = 0;
        Field field = Field::None;
    };
    Refusal Check() const;
    // "Parallelport 1", "Simulation", "I2C-Adapter 1".
    QString BusName() const;
    // What a refused bus (error 13) needs, in German.
    QString AccessHint() const;
    // Empty when the configuration can be used, else the German reason.
    QString Validate() const { return Check().reason; }

    // The bytes for every port device: wired bits follow on[] (honouring
    // active low), unwired bits stay high (a PCF8574 pin as input).
    std::map<std::uint8_t, std::uint8_t> OutputBytes(const std::array<bool, kChannels>& on) const;

    // Every channel wired: four converters 0x90 ... 0x96, two port devices 0x40, 0x42.
    static HardwareConfig SimulatedLayout();

    // Reads what Save wrote, as strictly as the dialog checks it: a refused
    // key is not used, its channel stays unwired (or the mode off, for the
    // port; a refused sweep period or trip delay falls back to its default),
    // and refused, when given, gets one German sentence per key.
    static HardwareConfig Load(QSettings& settings, QStringList* refused = nullptr);
    void Save(QSettings& settings) const;
};

QString HexAddress(std::uint8_t address);
// "0x90", "90", "90h": the 8-bit address; false when it is no number 0 ... 255.
bool ParseAddress(const QString& text, int& address);
