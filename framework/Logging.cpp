#include "framework/Logging.h"

#include <QString>

// Info and above by default: what the unattended program tells its operator.
Q_LOGGING_CATEGORY(lcApp, "korva.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHw, "korva.hw", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWeb, "korva.web", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMqtt, "korva.mqtt", QtInfoMsg)
Q_LOGGING_CATEGORY(lcJournal, "korva.journal", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAlarm, "korva.alarm", QtInfoMsg)

void InstallLogPattern()
{
    // systemd sets JOURNAL_STREAM for a service whose output it keeps.
    const QString priority = qEnvironmentVariableIsSet("JOURNAL_STREAM")
                                 ? QStringLiteral("%{if-debug}<7>%{endif}%{if-info}<6>%{endif}"
                                                  "%{if-warning}<4>%{endif}%{if-critical}<3>%{endif}"
                                                  "%{if-fatal}<2>%{endif}")
                                 : QString();
    qSetMessagePattern(priority + QStringLiteral("korva: %{message}"));
}
