#include "hwlink/HardwareMessages.h"

#include "hw/I2CBus.h"

namespace {

QString Device(int nDetail)
{
    return nDetail ? QStringLiteral("Gerät %1").arg(HexAddress(std::uint8_t(nDetail)))
                   : QStringLiteral("Ein Gerät");
}

bool IsAdapter(const HardwareConfig& config)
{
    return config.nPort == HardwareConfig::I2CAdapter;
}

// What the user checks when the bus itself does not answer.
QString BusCheck(const HardwareConfig& config)
{
    return IsAdapter(config) ? QStringLiteral("Adapter und Verkabelung prüfen")
                             : QStringLiteral("Interface, Kabel und Stromversorgung prüfen");
}

} // namespace

QString HardwareBusText(const HardwareConfig& config)
{
    switch (config.nPort) {
    case HardwareConfig::Port1:
    case HardwareConfig::Port2:
        return QStringLiteral("%1 (/dev/parport%2)").arg(config.BusName()).arg(config.nPort - 1);
    case HardwareConfig::I2CAdapter:
        return QStringLiteral("%1 (/dev/i2c-%2)").arg(config.BusName()).arg(config.nAdapter);
    default:
        return config.BusName();
    }
}

QString HardwareErrorText(int nError, int nDetail, const HardwareConfig& config)
{
    const QString bus = HardwareBusText(config);
    const QString n = QString::number(nError);
    switch (nError) {
    case cerr::kNoError:
        return QStringLiteral("Übertragung ohne Fehler beendet (Fehler 0)");
    case cerr::kBusy:
        return QStringLiteral("Der I2C-Bus an %1 bleibt belegt (Fehler 1) – Geräte am Bus und "
                              "Verkabelung prüfen")
            .arg(bus);
    case cerr::kGeneral:
        if (IsAdapter(config))
            return QStringLiteral("%1 kann diese Übertragung nicht ausführen (Fehler 2) – einen "
                                  "Adapter mit vollem I2C-Zugriff wählen")
                .arg(bus);
        return QStringLiteral("Allgemeiner Fehler bei der Übertragung an %1 (Fehler 2)").arg(bus);
    case cerr::kNoData:
        return QStringLiteral("Übertragung ohne Daten angefordert (Fehler 3)");
    case cerr::kNoAckOnData:
        return QStringLiteral("%1 bestätigt die Daten nicht (Fehler 4) – Gerät und Verkabelung "
                              "prüfen")
            .arg(Device(nDetail));
    case cerr::kNoAckOnAddress:
        return QStringLiteral("%1 antwortet nicht (Fehler 5) – Verkabelung und Adresse prüfen")
            .arg(Device(nDetail));
    case cerr::kNotPresent:
        return QStringLiteral("%1 ist nicht vorhanden (Fehler 6) – Adresse in der "
                              "Hardware-Konfiguration prüfen")
            .arg(Device(nDetail));
    case cerr::kArbitrationLost:
        return QStringLiteral("Ein anderer Teilnehmer hat den I2C-Bus an %1 übernommen "
                              "(Fehler 7) – nur einen Master anschließen")
            .arg(bus);
    case cerr::kTimeout:
        return QStringLiteral("%1 antwortet nicht rechtzeitig (Fehler 8) – %2")
            .arg(bus, BusCheck(config));
    case cerr::kSlaveMode:
        return QStringLiteral("Der I2C-Controller an %1 steht im Slave-Betrieb (Fehler 9) – "
                              "Interface zurücksetzen (Strom aus und ein)")
            .arg(bus);
    case cerr::kNotInitialised:
        return QStringLiteral("%1 ist nicht eingerichtet (Fehler 10) – Hardware-Konfiguration "
                              "prüfen")
            .arg(bus);
    case cerr::kNoController:
        return QStringLiteral("An %1 ist kein I2C-Controller zu finden (Fehler 11) – %2")
            .arg(bus, BusCheck(config));
    case cerr::kNoAck:
        return QStringLiteral("%1 gibt keine Bestätigung (Fehler 12) – Verkabelung und Adresse "
                              "prüfen")
            .arg(Device(nDetail));
    case cerr::kPortUnavailable:
        if (IsAdapter(config))
            return QStringLiteral("%1 fehlt oder ist nicht zugänglich (Fehler 13)").arg(bus);
        return QStringLiteral("%1 fehlt oder ist belegt (Fehler 13)").arg(bus);
    default:
        return QStringLiteral("Unbekannter Hardware-Fehler (Fehler %1)").arg(n);
    }
}
