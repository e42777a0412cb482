#include "alarm/AlarmDlg.h"

#include "framework/WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

CAlarmDlg::CAlarmDlg(const AlarmConfig& config, QWidget* parent) : QDialog(parent), m_config(config)
{
    setWindowTitle(QStringLiteral("Alarm"));
    KeepWindowPlacement(this, QStringLiteral("Alarm"));
    m_sound = new QCheckBox(QStringLiteral("Bei einer Abschaltung einen Ton abspielen"));
    m_sound->setChecked(config.bSound);
    m_which = new QComboBox;
    for (const AlarmSound& s : AlarmSounds())
        m_which->addItem(QString::fromUtf8(s.text), QString::fromLatin1(s.id));
    // A name set by hand in the settings stays selectable.
    if (m_which->findData(config.strSound) < 0)
        m_which->addItem(config.strSound, config.strSound);
    m_which->setCurrentIndex(m_which->findData(config.strSound));
    auto* tryOut = new QPushButton(QStringLiteral("Anhören"));
    tryOut->setObjectName(QStringLiteral("tryOut"));
    connect(tryOut, &QPushButton::clicked, this,
            [this] { emit TryOut(m_which->currentData().toString()); });
    auto* whichRow = new QHBoxLayout;
    whichRow->addWidget(m_which, 1);
    whichRow->addWidget(tryOut);

    m_repeat = new QSpinBox;
    m_repeat->setRange(0, AlarmConfig::kMaxRepeatSeconds);
    m_repeat->setSuffix(QStringLiteral(" s"));
    m_repeat->setSpecialValueText(QStringLiteral("aus"));
    m_repeat->setValue(config.nRepeatSeconds);
    m_notify = new QCheckBox(QStringLiteral("Desktop-Benachrichtigung anzeigen"));
    m_notify->setChecked(config.bNotify);

    auto enable = [this, tryOut] {
        m_which->setEnabled(m_sound->isChecked());
        tryOut->setEnabled(m_sound->isChecked());
        m_repeat->setEnabled(m_sound->isChecked());
    };
    connect(m_sound, &QCheckBox::toggled, this, enable);
    enable();

    auto* form = new QFormLayout;
    form->addRow(m_sound);
    form->addRow(QStringLiteral("Klang:"), whichRow);
    form->addRow(QStringLiteral("Ton wiederholen alle:"), m_repeat);
    form->addRow(m_notify);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(buttons);
}

AlarmConfig CAlarmDlg::Result() const
{
    AlarmConfig c = m_config;
    c.bSound = m_sound->isChecked();
    c.strSound = m_which->currentData().toString();
    c.nRepeatSeconds = m_repeat->value();
    c.bNotify = m_notify->isChecked();
    return c;
}
