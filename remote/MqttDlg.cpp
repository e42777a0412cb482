#include "remote/MqttDlg.h"

#include "framework/WindowPlacement.h"
#include "framework/Messages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

CMqttDlg::CMqttDlg(const MqttConfig& config, QWidget* parent) : QDialog(parent), m_result(config)
{
    setWindowTitle(QStringLiteral("MQTT-Verbindung"));
    KeepWindowPlacement(this, QStringLiteral("MQTT-Verbindung"));
    m_enabled = new QCheckBox(QStringLiteral("Mit dem MQTT-Broker verbinden"));
    m_enabled->setChecked(config.bEnabled);
    m_host = new QLineEdit(config.strHost);
    m_port = new QSpinBox;
    m_port->setRange(1, 65535);
    m_port->setValue(config.nPort);
    m_station = new QLineEdit(config.strStation);
    m_station->setPlaceholderText(QHostInfo::localHostName());
    m_user = new QLineEdit(config.strUser);
    m_discovery = new QCheckBox(QStringLiteral("Home-Assistant-Erkennung senden"));
    m_discovery->setChecked(config.bDiscovery);
    m_commands = new QCheckBox(QStringLiteral("Schaltbefehle über MQTT annehmen"));
    m_commands->setChecked(config.bCommands);

    auto* form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("Server:"), m_host);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Station:"), m_station);
    form->addRow(QStringLiteral("Benutzer:"), m_user);
    form->addRow(QStringLiteral("Passwortdatei:"),
                 FileField(m_passwordFile, config.strPasswordFile));
    form->addRow(QStringLiteral("CA-Zertifikat (TLS):"), FileField(m_caFile, config.strCaFile));
    form->addRow(QStringLiteral("Client-Zertifikat:"), FileField(m_certFile, config.strCertFile));
    form->addRow(QStringLiteral("Client-Schlüssel:"), FileField(m_keyFile, config.strKeyFile));
    form->addRow(m_discovery);
    form->addRow(m_commands);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CMqttDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CMqttDlg::reject);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(buttons);
}

QWidget* CMqttDlg::FileField(QLineEdit*& edit, const QString& value)
{
    edit = new QLineEdit(value);
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* browse = new QPushButton(QStringLiteral("..."));
    layout->addWidget(edit, 1);
    layout->addWidget(browse);
    QLineEdit* target = edit;
    connect(browse, &QPushButton::clicked, this, [this, target] {
        const QString f = QFileDialog::getOpenFileName(this, QString(), target->text());
        if (!f.isEmpty())
            target->setText(f);
    });
    return row;
}

QString CMqttDlg::Collect(QWidget*& field)
{
    MqttConfig c = m_result;
    c.bEnabled = m_enabled->isChecked();
    c.strHost = m_host->text().trimmed();
    c.nPort = quint16(m_port->value());
    c.strStation = m_station->text().trimmed();
    c.strUser = m_user->text().trimmed();
    c.strPasswordFile = m_passwordFile->text().trimmed();
    c.strCaFile = m_caFile->text().trimmed();
    c.strCertFile = m_certFile->text().trimmed();
    c.strKeyFile = m_keyFile->text().trimmed();
    c.bDiscovery = m_discovery->isChecked();
    c.bCommands = m_commands->isChecked();

    if (c.bEnabled && c.strHost.isEmpty()) {
        field = m_host;
        return QStringLiteral("Bitte geben Sie den Server an.");
    }
    if (const QString problem = MqttStationProblem(c.strStation); !problem.isEmpty()) {
        field = m_station;
        return problem;
    }
    const std::pair<QLineEdit*, QString> files[] = {{m_passwordFile, c.strPasswordFile},
                                                    {m_caFile, c.strCaFile},
                                                    {m_certFile, c.strCertFile},
                                                    {m_keyFile, c.strKeyFile}};
    for (const auto& [edit, path] : files) {
        if (!path.isEmpty() && !QFileInfo(path).isFile()) {
            field = edit;
            return QStringLiteral("Die Datei \u201E%1\u201C gibt es nicht.").arg(path);
        }
    }
    if (c.strCertFile.isEmpty() != c.strKeyFile.isEmpty()) {
        field = c.strCertFile.isEmpty() ? m_certFile : m_keyFile;
        return QStringLiteral("Client-Zertifikat und -Schlüssel gehören zusammen.");
    }
    if (!c.strCertFile.isEmpty() && c.strCaFile.isEmpty()) {
        field = m_caFile;
        return QStringLiteral("Ein Client-Zertifikat braucht TLS: Bitte geben Sie das "
                              "CA-Zertifikat an.");
    }
    m_result = c;
    return {};
}

void CMqttDlg::accept()
{
    QWidget* field = nullptr;
    const QString reason = Collect(field);
    if (reason.isEmpty()) {
        QDialog::accept();
        return;
    }
    AfxMessageBox(reason, MB_OK | MB_ICONEXCLAMATION, this);
    if (field)
        field->setFocus();
}
