#pragma once
// "Simulator": per channel its simulated load and a switch for a short, and
// per device a switch that takes it off the simulated bus.

#include "base/Station.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class CSimLayout;
class QCheckBox;
class QGridLayout;
class QLabel;

class CSimulatorWnd : public QWidget
{
public:
    static constexpr int kChannels = korva::kChannels;

    explicit CSimulatorWnd(QWidget* parent = nullptr);
    // nullptr while no simulated view runs: the switches are disabled.
    void SetLayout(CSimLayout* layout);

    QCheckBox* ShortBox(int nChannel) const { return m_short[nChannel - 1]; }
    QCheckBox* RemovedBox(std::uint8_t address) const;

private:
    void ShowDevices();

    CSimLayout* m_layout = nullptr;
    QGridLayout* m_devices = nullptr;
    QLabel* m_load[kChannels] = {};
    QCheckBox* m_short[kChannels] = {};
    std::vector<std::pair<std::uint8_t, QCheckBox*>> m_removed;
};
