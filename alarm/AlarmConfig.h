#pragma once
// Settings of the alarm (group Alarm/): the sound of a cutoff, its repetition
// while a channel stays cut off, and the desktop notification.

#include <QList>
#include <QString>

class QSettings;

struct AlarmSound
{
    const char* id;   // the freedesktop sound theme's event name
    const char* text; // German, for the dialog
};

struct AlarmConfig
{
    static constexpr int kMaxRepeatSeconds = 3600;

    bool bSound = true;
    QString strSound = QStringLiteral("dialog-warning");
    int nRepeatSeconds = 0; // 0: the sound plays once per cutoff
    bool bNotify = true;

    static AlarmConfig Load(QSettings& settings);
    void Save(QSettings& settings) const;
};

// The sounds the dialog offers, the default first.
const QList<AlarmSound>& AlarmSounds();
