#pragma once
// The program's logging categories, and the form its lines take on standard
// error: "korva: ..." with, when standard error goes to the systemd journal,
// the priority prefix it reads ("<4>" for a warning). QT_LOGGING_RULES quiets
// a category ("korva.mqtt.info=false"), QT_MESSAGE_PATTERN replaces the form.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcHw)
Q_DECLARE_LOGGING_CATEGORY(lcWeb)
Q_DECLARE_LOGGING_CATEGORY(lcMqtt)
Q_DECLARE_LOGGING_CATEGORY(lcJournal)
Q_DECLARE_LOGGING_CATEGORY(lcAlarm)

// Before the first line is logged.
void InstallLogPattern();
