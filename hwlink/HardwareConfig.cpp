#include "hwlink/HardwareConfig.h"

#include <QLocale>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <cctype>
#include <cmath>
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

QString HardwareConfig::BusName() const
{
    switch (nPort) {
    case Simulation:
        return QStringLiteral("Simulation");
    case I2CAdapter:
        return QStringLiteral("I2C-Adapter %1").arg(nAdapter);
    default:
        return QStringLiteral("Parallelport %1").arg(nPort);
    }
}

QString HardwareConfig::AccessHint() const
{
    if (nPort == I2CAdapter)
        return QStringLiteral(
                   "Der I2C-Adapter /dev/i2c-%1 fehlt, ist kein I2C-Adapter oder ist nicht "
                   "zugänglich. Zugriff erhalten Mitglieder der Gruppe „i2c“ (sudo adduser $USER "
                   "i2c, danach neu anmelden); auf einem Raspberry Pi muss I2C eingeschaltet sein "
                   "(dtparam=i2c_arm=on in config.txt oder raspi-config).")
            .arg(nAdapter);
    if (nPort == Port1 || nPort == Port2)
        return QStringLiteral("Der Parallelport /dev/parport%1 muss vorhanden, frei und "
                              "zugänglich sein (Gruppe „lp“).")
            .arg(nPort - 1);
    return {};
}

HardwareConfig::Refusal HardwareConfig::Check() const
{
    if (nPort < Off || nPort > I2CAdapter)
        return {QStringLiteral("Unbekannter Anschluss %1.").arg(nPort), 0, Field::Port};
    if (nPort == I2CAdapter && (nAdapter < 0 || nAdapter > kMaxAdapter))
        return {QStringLiteral("Unbekannter I2C-Adapter %1.").arg(nAdapter), 0, Field::Port};
    if (nSweepMs < kMinSweepMs || nSweepMs > kMaxSweepMs)
        return {QStringLiteral("Die Messperiode muss zwischen %1 und %2 ms liegen.")
                    .arg(kMinSweepMs)
                    .arg(kMaxSweepMs),
                0, Field::SweepPeriod};
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
        // Only a wired channel's delay is ever used, as with its other parts.
        if ((w.bConverter || w.bOutput) &&
            (w.nTripDelayMs < 0 || w.nTripDelayMs > ChannelWiring::kMaxTripDelayMs))
            return {QStringLiteral("Kanal %1: Die Auslöseverzögerung muss zwischen 0 und %2 ms "
                                   "liegen.")
                        .arg(k)
                        .arg(ChannelWiring::kMaxTripDelayMs),
                    k, Field::TripDelay};
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

namespace {

// Reads the keys of the "Hardware" group as strictly as the dialog checks its
// fields; a refused key gets one German sentence naming it and the reason.
class SettingsReader
{
public:
    SettingsReader(QSettings& s, QStringList* refused) : m_s(s), m_refused(refused) {}

    void SetGroup(const QString& group) { m_group = group; }
    bool Ok() const { return m_ok; }
    void ResetOk() { m_ok = true; }

    void RefuseKey(const QString& key, const QString& reason)
    {
        m_ok = false;
        if (m_refused)
            m_refused->append(QStringLiteral("Die Einstellung „%1“ wurde nicht übernommen: %2")
                                  .arg(FullKey(key), reason));
    }

    // A missing key keeps def; so does a refused one (reported).
    bool Bool(const QString& key, bool def)
    {
        QString text;
        if (!Text(key, text))
            return def;
        const QString t = text.trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("1"))
            return true;
        if (t == QLatin1String("false") || t == QLatin1String("0"))
            return false;
        RefuseKey(key, QStringLiteral("„%1“ ist weder true noch false.").arg(text));
        return def;
    }

    int Integer(const QString& key, int def, int low, int high)
    {
        QString text;
        if (!Text(key, text))
            return def;
        bool ok = false;
        const qlonglong value = text.trimmed().toLongLong(&ok, 10);
        if (!ok) {
            RefuseKey(key, QStringLiteral("„%1“ ist keine ganze Zahl.").arg(text));
            return def;
        }
        if (value < low || value > high) {
            RefuseKey(
                key,
                QStringLiteral("%1 liegt nicht zwischen %2 und %3.").arg(value).arg(low).arg(high));
            return def;
        }
        return int(value);
    }

    // 0 ... 3 as the program always stored them, or "i2c:N" for /dev/i2c-N.
    void Port(const QString& key, int& nPort, int& nAdapter)
    {
        QString text;
        if (!Text(key, text))
            return;
        const QString t = text.trimmed();
        if (!t.startsWith(QLatin1String("i2c:"), Qt::CaseInsensitive)) {
            nPort = Integer(key, nPort, HardwareConfig::Off, HardwareConfig::Simulation);
            return;
        }
        const QString digits = t.mid(4);
        bool ok = !digits.isEmpty() && digits.size() <= 4;
        for (const QChar ch : digits)
            ok = ok && ch.isDigit();
        if (!ok) {
            RefuseKey(key, QStringLiteral("„%1“ ist kein I2C-Adapter (i2c:N für /dev/i2c-N, N "
                                          "von 0 bis %2).")
                               .arg(text)
                               .arg(HardwareConfig::kMaxAdapter));
            return;
        }
        nPort = HardwareConfig::I2CAdapter;
        nAdapter = digits.toInt();
    }

    // Stored as a decimal integer (144); the dialog's form "0x90" is taken too.
    std::uint8_t Address(const QString& key, std::uint8_t def, const QString& example)
    {
        QString text;
        if (!Text(key, text))
            return def;
        const QString t = text.trimmed();
        const bool hex = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const QString digits = hex ? t.mid(2) : t;
        bool ok = !digits.isEmpty();
        for (const QChar ch : digits) // only the digits: no second "0x", no blanks
            ok = ok && (hex ? std::isxdigit(ch.toLatin1()) : ch.isDigit() || ch == u'-');
        const qlonglong value = ok ? digits.toLongLong(&ok, hex ? 16 : 10) : 0;
        if (!ok) {
            RefuseKey(key, QStringLiteral("„%1“ ist keine Adresse (eine gerade Zahl von 0 bis "
                                          "254 oder 0x00 bis 0xFE, z. B. %2).")
                               .arg(text, example));
            return def;
        }
        if (value < 0 || value > 0xFE) {
            RefuseKey(key,
                      QStringLiteral("%1 liegt nicht zwischen 0 und 254.").arg(text.trimmed()));
            return def;
        }
        if (value & 1) {
            RefuseKey(key, QStringLiteral("%1 ist ungerade. Adressen werden in 8-Bit-Form "
                                          "angegeben und sind gerade (z. B. %2).")
                               .arg(text.trimmed(), example));
            return def;
        }
        return std::uint8_t(value);
    }

    // Full scale in A: a finite number above 0 and at most 1e6, as in the
    // dialog; a German decimal comma is taken too.
    double FullScale(const QString& key, double def)
    {
        QString text;
        if (!Text(key, text))
            return def;
        bool ok = false;
        double value = QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok) {
            QLocale de(QLocale::German);
            de.setNumberOptions(QLocale::RejectGroupSeparator);
            value = de.toDouble(text.trimmed(), &ok);
        }
        if (!ok || !std::isfinite(value)) {
            RefuseKey(key, QStringLiteral("„%1“ ist kein Strom in A.").arg(text));
            return def;
        }
        if (!(value > 0.0) || value > 1e6) {
            RefuseKey(key, QStringLiteral("%1 A ist kein Vollausschlag (größer als 0 A, "
                                          "höchstens 1000000 A).")
                               .arg(text.trimmed()));
            return def;
        }
        return value;
    }

private:
    QString FullKey(const QString& key) const
    {
        return m_group.isEmpty() ? key : m_group + QLatin1Char('/') + key;
    }
    // False when the key is not stored. A value written by hand with a comma
    // reads back as a list; it is taken as the text it was.
    bool Text(const QString& key, QString& text) const
    {
        const QString full = FullKey(key);
        if (!m_s.contains(full))
            return false;
        const QVariant v = m_s.value(full);
        text = v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                    : v.toString();
        return true;
    }

    QSettings& m_s;
    QStringList* m_refused;
    QString m_group;
    bool m_ok = true;
};

} // namespace

HardwareConfig HardwareConfig::Load(QSettings& s, QStringList* refused)
{
    HardwareConfig c;
    SettingsReader r(s, refused);
    r.SetGroup(QStringLiteral("Hardware"));
    r.Port(QStringLiteral("Port"), c.nPort, c.nAdapter);
    if (!r.Ok() && refused)
        refused->last() += QStringLiteral(" Die Hardware bleibt aus.");
    // A refused period keeps the hardware on at the default one.
    const int beforeSweep = refused ? int(refused->size()) : 0;
    c.nSweepMs = r.Integer(QStringLiteral("sweepMs"), c.nSweepMs, kMinSweepMs, kMaxSweepMs);
    if (refused && refused->size() > beforeSweep)
        refused->last() += QStringLiteral(" Es gilt die Messperiode von %1 ms.").arg(c.nSweepMs);

    std::set<std::pair<int, int>> used; // output bits taken by earlier channels
    for (int i = 0; i < kChannels; ++i) {
        const int k = i + 1;
        const ChannelWiring def;
        ChannelWiring w;
        r.SetGroup(QStringLiteral("Hardware/Kanal%1").arg(k));
        r.ResetOk();
        const int before = refused ? int(refused->size()) : 0;
        w.bConverter = r.Bool(QStringLiteral("Wandler"), false);
        w.bOutput = r.Bool(QStringLiteral("Ausgang"), false);
        // What a part that is not wired holds is not checked, as in the dialog.
        SettingsReader quiet(s, nullptr);
        quiet.SetGroup(QStringLiteral("Hardware/Kanal%1").arg(k));
        SettingsReader& conv = w.bConverter ? r : quiet;
        w.nConverter = conv.Address(QStringLiteral("WandlerAdresse"), def.nConverter,
                                    QStringLiteral("144 = 0x90"));
        w.nInput = conv.Integer(QStringLiteral("Eingang"), def.nInput, 0, 3);
        w.dFullScale = conv.FullScale(QStringLiteral("Vollausschlag"), def.dFullScale);
        SettingsReader& out = w.bOutput ? r : quiet;
        w.nPort =
            out.Address(QStringLiteral("AusgangAdresse"), def.nPort, QStringLiteral("64 = 0x40"));
        w.nBit = out.Integer(QStringLiteral("Bit"), def.nBit, 0, 7);
        w.bActiveLow = out.Bool(QStringLiteral("AktivLow"), false);
        if (r.Ok() && w.bOutput && used.count({w.nPort, w.nBit}))
            r.RefuseKey(QStringLiteral("Bit"),
                        QStringLiteral("Bit %1 am Ausgang %2 ist schon einem anderen Kanal "
                                       "zugeordnet.")
                            .arg(w.nBit)
                            .arg(HexAddress(w.nPort)));
        if (!r.Ok()) {
            w.bConverter = w.bOutput = false; // the channel keeps its test source
            if (refused)
                for (int n = before; n < refused->size(); ++n)
                    (*refused)[n] += QStringLiteral(" Kanal %1 bleibt ohne Hardware.").arg(k);
        } else if (w.bOutput) {
            used.insert({w.nPort, w.nBit});
        }
        // A refused delay keeps the channel wired; it trips at once.
        SettingsReader& delay = w.bConverter || w.bOutput ? r : quiet;
        const int beforeDelay = refused ? int(refused->size()) : 0;
        w.nTripDelayMs = delay.Integer(QStringLiteral("tripDelayMs"), def.nTripDelayMs, 0,
                                       ChannelWiring::kMaxTripDelayMs);
        if (refused && refused->size() > beforeDelay)
            refused->last() += QStringLiteral(" Kanal %1 löst ohne Verzögerung aus.").arg(k);
        c.channel[i] = w;
    }
    // Anything the checks above missed still never reaches the bus.
    if (!c.Validate().isEmpty())
        c.nPort = Off;
    return c;
}

void HardwareConfig::Save(QSettings& s) const
{
    s.beginGroup(QStringLiteral("Hardware"));
    if (nPort == I2CAdapter)
        s.setValue(QStringLiteral("Port"), QStringLiteral("i2c:%1").arg(nAdapter));
    else
        s.setValue(QStringLiteral("Port"), nPort);
    s.setValue(QStringLiteral("sweepMs"), nSweepMs);
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
        s.setValue(QStringLiteral("tripDelayMs"), w.nTripDelayMs);
        s.endGroup();
    }
    s.endGroup();
    s.sync();
}
