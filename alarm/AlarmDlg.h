#pragma once
// "Alarm": the sound of a cutoff, its repetition and the desktop notification.

#include "alarm/AlarmConfig.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSpinBox;

class CAlarmDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAlarmDlg(const AlarmConfig& config, QWidget* parent = nullptr);

    AlarmConfig Result() const;
    QCheckBox* SoundBox() const { return m_sound; }
    QComboBox* SoundCombo() const { return m_which; }
    QSpinBox* RepeatBox() const { return m_repeat; }
    QCheckBox* NotifyBox() const { return m_notify; }

signals:
    // "Anhören": the sound of that name, once.
    void TryOut(const QString& eventId);

private:
    QCheckBox* m_sound;
    QComboBox* m_which;
    QSpinBox* m_repeat;
    QCheckBox* m_notify;
    AlarmConfig m_config;
};
