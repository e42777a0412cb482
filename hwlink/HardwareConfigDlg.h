#pragma once
// "Hardware-Konfiguration": the port and, per channel, its converter input
// and switch output. OK refuses a configuration that cannot work and stays open.

#include "hw/I2CNode.h"
#include "hwlink/HardwareConfig.h"

#include <QDialog>
#include <QStringList>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTableWidget;
class QWidget;

class CHardwareConfigDlg : public QDialog
{
public:
    struct Row
    {
        QCheckBox* converter;
        QLineEdit* converterAddress;
        QSpinBox* input;
        QLineEdit* fullScale;
        QCheckBox* output;
        QLineEdit* outputAddress;
        QSpinBox* bit;
        QCheckBox* activeLow;
        QLineEdit* tripDelay; // ms
    };

    // adapters: the kernel's I2C adapters offered besides the parallel ports.
    explicit CHardwareConfigDlg(const HardwareConfig& config, QWidget* parent = nullptr,
                                const std::vector<I2CAdapterInfo>& adapters = ListI2CAdapters());

    const HardwareConfig& Result() const { return m_result; }
    // Labels the rows "1 – name"; a channel without a name keeps "Kanal n".
    void SetChannelNames(const QStringList& names);
    QTableWidget* Table() const { return m_table; }
    QComboBox* PortBox() const { return m_port; }
    QLineEdit* SweepEdit() const { return m_sweep; }
    const Row& RowOf(int nChannel) const { return m_rows[nChannel - 1]; }

    void accept() override;

private:
    void Fill(const HardwareConfig& config);
    void AddAdapter(int number, const QString& name);
    // No reason when the fields make a valid configuration (then in m_result).
    HardwareConfig::Refusal Collect();
    QWidget* FieldWidget(int nChannel, HardwareConfig::Field field) const;

    QComboBox* m_port;
    QLineEdit* m_sweep;
    QTableWidget* m_table;
    Row m_rows[HardwareConfig::kChannels];
    HardwareConfig m_result;
};
