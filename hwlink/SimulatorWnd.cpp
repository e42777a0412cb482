#include "hwlink/SimulatorWnd.h"

#include "framework/WindowPlacement.h"
#include "hw/SimLayout.h"
#include "hwlink/HardwareConfig.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace {

QString Describe(const CSimLayout::Load& load)
{
    const QLocale de = QLocale::system();
    if (load.kind == CSimLayout::LoadKind::Ramp)
        return QStringLiteral("Rampe 0 … %1 A in %2 s")
            .arg(de.toString(load.amps, 'f', 2))
            .arg(load.rampSeconds);
    return QStringLiteral("fest %1 A").arg(de.toString(load.amps, 'f', 2));
}

} // namespace

CSimulatorWnd::CSimulatorWnd(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(QStringLiteral("Simulator"));
    KeepWindowPlacement(this, QStringLiteral("Simulator"));
    auto* loads = new QGroupBox(QStringLiteral("Lasten"));
    auto* grid = new QGridLayout(loads);
    for (int i = 0; i < kChannels; ++i) {
        m_load[i] = new QLabel;
        m_short[i] = new QCheckBox(QStringLiteral("Kurzschluss"));
        grid->addWidget(new QLabel(QStringLiteral("Kanal %1").arg(i + 1)), i, 0);
        grid->addWidget(m_load[i], i, 1);
        grid->addWidget(m_short[i], i, 2);
        connect(m_short[i], &QCheckBox::toggled, this, [this, i](bool on) {
            if (m_layout)
                m_layout->SetShort(i + 1, on);
        });
    }
    auto* devices = new QGroupBox(QStringLiteral("Geräte am Bus"));
    m_devices = new QGridLayout(devices);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(loads);
    layout->addWidget(devices);
    SetLayout(nullptr);
}

QCheckBox* CSimulatorWnd::RemovedBox(std::uint8_t address) const
{
    for (const auto& [a, box] : m_removed) {
        if (a == address)
            return box;
    }
    return nullptr;
}

void CSimulatorWnd::SetLayout(CSimLayout* layout)
{
    m_layout = layout;
    for (int i = 0; i < kChannels; ++i) {
        m_short[i]->setEnabled(layout != nullptr);
        m_load[i]->setText(layout ? Describe(layout->GetLoad(i + 1)) : QStringLiteral("–"));
        // A fresh layout starts without faults; the boxes show that.
        const QSignalBlocker block(m_short[i]);
        m_short[i]->setChecked(layout && layout->HasShort(i + 1));
    }
    ShowDevices();
}

// One box per device of the running layout; a new layout starts with all on the bus.
void CSimulatorWnd::ShowDevices()
{
    for (const auto& [address, box] : m_removed)
        delete box;
    m_removed.clear();
    if (!m_layout)
        return;
    int n = 0;
    for (std::uint8_t address : m_layout->Devices()) {
        auto* box = new QCheckBox(QStringLiteral("%1 vom Bus nehmen").arg(HexAddress(address)));
        m_devices->addWidget(box, n / 2, n % 2);
        ++n;
        m_removed.emplace_back(address, box);
        connect(box, &QCheckBox::toggled, this, [this, address](bool on) {
            if (m_layout)
                m_layout->SetDeviceRemoved(address, on);
        });
    }
}
