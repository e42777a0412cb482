#pragma once
// "MQTT-Verbindung": broker, station, login and TLS files, discovery and
// commands. OK refuses settings that cannot work and stays open.

#include "remote/MqttConfig.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

class CMqttDlg : public QDialog
{
public:
    explicit CMqttDlg(const MqttConfig& config, QWidget* parent = nullptr);

    const MqttConfig& Result() const { return m_result; }
    QCheckBox* EnabledBox() const { return m_enabled; }
    QLineEdit* HostEdit() const { return m_host; }
    QSpinBox* PortBox() const { return m_port; }
    QLineEdit* StationEdit() const { return m_station; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordFileEdit() const { return m_passwordFile; }
    QLineEdit* CaFileEdit() const { return m_caFile; }
    QLineEdit* CertFileEdit() const { return m_certFile; }
    QLineEdit* KeyFileEdit() const { return m_keyFile; }
    QCheckBox* DiscoveryBox() const { return m_discovery; }
    QCheckBox* CommandsBox() const { return m_commands; }

    void accept() override;

private:
    // A line edit with a button that picks a file; returns the row.
    QWidget* FileField(QLineEdit*& edit, const QString& value);
    // An empty string when the fields make usable settings (then in m_result).
    QString Collect(QWidget*& field);

    QCheckBox* m_enabled;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QLineEdit* m_station;
    QLineEdit* m_user;
    QLineEdit* m_passwordFile = nullptr;
    QLineEdit* m_caFile = nullptr;
    QLineEdit* m_certFile = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QCheckBox* m_discovery;
    QCheckBox* m_commands;
    MqttConfig m_result;
};
