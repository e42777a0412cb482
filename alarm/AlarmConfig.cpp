#include "alarm/AlarmConfig.h"

#include <QSettings>

const QList<AlarmSound>& AlarmSounds()
{
    static const QList<AlarmSound> sounds = {
        {"dialog-warning", "Warnung"},
        {"alarm-clock-elapsed", "Wecker"},
        {"dialog-error", "Fehler"},
        {"phone-incoming-call", "Telefon"},
        {"bell", "Glocke"},
    };
    return sounds;
}

AlarmConfig AlarmConfig::Load(QSettings& s)
{
    AlarmConfig c;
    s.beginGroup(QStringLiteral("Alarm"));
    c.bSound = s.value(QStringLiteral("sound"), c.bSound).toBool();
    // Any theme name is playable; an empty one is not.
    const QString name = s.value(QStringLiteral("soundName"), c.strSound).toString().trimmed();
    if (!name.isEmpty())
        c.strSound = name;
    bool ok = false;
    const int repeat = s.value(QStringLiteral("repeatSeconds"), 0).toInt(&ok);
    c.nRepeatSeconds = ok ? qBound(0, repeat, kMaxRepeatSeconds) : 0;
    c.bNotify = s.value(QStringLiteral("notify"), c.bNotify).toBool();
    s.endGroup();
    return c;
}

void AlarmConfig::Save(QSettings& s) const
{
    s.beginGroup(QStringLiteral("Alarm"));
    s.setValue(QStringLiteral("sound"), bSound);
    s.setValue(QStringLiteral("soundName"), strSound);
    s.setValue(QStringLiteral("repeatSeconds"), nRepeatSeconds);
    s.setValue(QStringLiteral("notify"), bNotify);
    s.endGroup();
}
