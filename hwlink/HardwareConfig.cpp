#include "hwlink/HardwareConfig.h"

#include <QLocale>
#include <QSettings>
#include <set>
#include <utility>

bool HardwareConfig::IsActive() const
{
    if (nPort == Off)
        return false;
    for (const ChannelWiring& w : channel) {
        if (w.bConverter || w.bOutput)
            return true;
    }
    return false;
}

bool HardwareConfig::HasConverter() const
{
    for (const ChannelWiring& w : channel) {
        if (w.bConverter)
            return true;
    }
    return false;
}

bool HardwareConfig::HasOutput() const
{
    for (const ChannelWiring& w : channel) {
        if (w.bOutput)
            return true;
    }
    return false;
}

QString HexAddress(std::uint8_t address)
{
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper();
}

bool ParseAddress(const QString& text, int& address)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    else if (t.endsWith(QLatin1Char('h'), Qt::CaseInsensitive))
        t.chop(1);
    bool ok = false;
    const int value = t.toInt(&ok, 16);
    if (!ok || t.isEmpty() || value < 0 || value > 0xFF)
        return false;
    address = value;
    return true;
}

HardwareConfig::Refusal HardwareConfig::Check() const
{
    if (nPort < Off || nPort > Simulation)
        return {QStringLiteral("Unbekannter Anschluss %1.").arg(nPort), 0, Field::Port};
    std::set<std::pair<int, int>> used;
    for (int i = 0; i < kChannels; ++i) {
        const ChannelWiring& w = channel[i];
        const int k = i + 1;
        if (w.bConverter) {
            if (w.nConverter & 1)
                return {QStringLiteral(
                            "Kanal %1: Die Wandleradresse %2 ist ungerade. Adressen werden in "
                            "8-Bit-Form angegeben und sind gerade (z. B. 0x90).")
                            .arg(k)
                            .arg(HexAddress(w.nConverter)),
                        k, Field::ConverterAddress};
            if (w.nInput < 0 || w.nInput > 3)
                return {QStringLiteral("Kanal %1: Der Wandlereingang muss zwischen 0 und 3 liegen.")
                            .arg(k),
                        k, Field::Input};
            if (!(w.dFullScale > 0.0) || w.dFullScale > 1e6)
                return {
                    QStringLiteral("Kanal %1: Der Vollausschlag muss größer als 0 A sein.").arg(k),
                    k, Field::FullScale};
        }
        if (w.bOutput) {
            if (w.nPort & 1)
                return {QStringLiteral(
                            "Kanal %1: Die Ausgangsadresse %2 ist ungerade. Adressen werden in "
                            "8-Bit-Form angegeben und sind gerade (z. B. 0x40).")
                            .arg(k)
                            .arg(HexAddress(w.nPort)),
                        k, Field::OutputAddress};
            if (w.nBit < 0 || w.nBit > 7)
                return {QStringLiteral("Kanal %1: Das Ausgangsbit muss zwischen 0 und 7 liegen.")
                            .arg(k),
                        k, Field::Bit};
            if (!used.insert({w.nPort, w.nBit}).second)
                return {QStringLiteral("Kanal %1: Bit %2 am Ausgang %3 ist schon einem anderen "
                                       "Kanal zugeordnet.")
                            .arg(k)
                            .arg(w.nBit)
                            .arg(HexAddress(w.nPort)),
                        k, Field::Bit};
        }
    }
    return {};
}

std::map<std::uint8_t, std::uint8_t>
HardwareConfig::OutputBytes(const std::array<bool, kChannels>& on) const
{
    std::map<std::uint8_t, std::uint8_t> bytes;
    for (int i = 0; i < kChannels; ++i) {
        const ChannelWiring& w = channel[i];
        if (!w.bOutput)
            continue;
        auto& byte = bytes.try_emplace(w.nPort, std::uint8_t(0xFF)).first->second;
        const auto mask = std::uint8_t(1u << w.nBit);
        if (on[i] != w.bActiveLow)
            byte |= mask;
        else
            byte &= std::uint8_t(~mask);
    }
    return bytes;
}

HardwareConfig HardwareConfig::SimulatedLayout()
{
    HardwareConfig c;
    c.nPort = Simulation;
    for (int i = 0; i < kChannels; ++i) {
        ChannelWiring& w = c.channel[i];
        w.bConverter = true;
        w.nConverter = std::uint8_t(0x90 + 2 * (i / 4));
        w.nInput = i % 4;
        w.dFullScale = 5.0;
        w.bOutput = true;
        w.nPort = i < 8 ? 0x40 : 0x42;
        w.nBit = i % 8;
        w.bActiveLow = false;
    }
    return c;
}

HardwareConfig HardwareConfig::Load(QSettings& s)
{
    HardwareConfig c;
    s.beginGroup(QStringLiteral("Hardware"));
    c.nPort = s.value(QStringLiteral("Port"), int(Off)).toInt();
    if (c.nPort < Off || c.nPort > Simulation)
        c.nPort = Off;
    for (int i = 0; i < kChannels; ++i) {
        ChannelWiring& w = c.channel[i];
        const ChannelWiring def;
        s.beginGroup(QStringLiteral("Kanal%1").arg(i + 1));
        w.bConverter = s.value(QStringLiteral("Wandler"), false).toBool();
        w.nConverter =
            std::uint8_t(s.value(QStringLiteral("WandlerAdresse"), def.nConverter).toUInt());
        w.nInput = s.value(QStringLiteral("Eingang"), def.nInput).toInt();
        w.dFullScale = s.value(QStringLiteral("Vollausschlag"), def.dFullScale).toDouble();
        w.bOutput = s.value(QStringLiteral("Ausgang"), false).toBool();
        w.nPort = std::uint8_t(s.value(QStringLiteral("AusgangAdresse"), def.nPort).toUInt());
        w.nBit = s.value(QStringLiteral("Bit"), def.nBit).toInt();
        w.bActiveLow = s.value(QStringLiteral("AktivLow"), false).toBool();
        s.endGroup();
    }
    s.endGroup();
    // A hand-edited store that no longer validates is not used.
    if (!c.Validate().isEmpty())
        c.nPort = Off;
    return c;
}

void HardwareConfig::Save(QSettings& s) const
{
    s.beginGroup(QStringLiteral("Hardware"));
    s.setValue(QStringLiteral("Port"), nPort);
    for (int i = 0; i < kChannels; ++i) {
        const ChannelWiring& w = channel[i];
        s.beginGroup(QStringLiteral("Kanal%1").arg(i + 1));
        s.setValue(QStringLiteral("Wandler"), w.bConverter);
        s.setValue(QStringLiteral("WandlerAdresse"), unsigned(w.nConverter));
        s.setValue(QStringLiteral("Eingang"), w.nInput);
        s.setValue(QStringLiteral("Vollausschlag"), w.dFullScale);
        s.setValue(QStringLiteral("Ausgang"), w.bOutput);
        s.setValue(QStringLiteral("AusgangAdresse"), unsigned(w.nPort));
        s.setValue(QStringLiteral("Bit"), w.nBit);
        s.setValue(QStringLiteral("AktivLow"), w.bActiveLow);
        s.endGroup();
    }
    s.endGroup();
    s.sync();
}
