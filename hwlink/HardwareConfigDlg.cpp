#include "hwlink/HardwareConfigDlg.h"

#include "framework/WindowPlacement.h"
#include "framework/MDIFrame.h"
#include "view/VelkorView.h"

#include "framework/Messages.h"

#include <algorithm>
#include <climits>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column
{
    ColConverter,
    ColConverterAddress,
    ColInput,
    ColFullScale,
    ColOutput,
    ColOutputAddress,
    ColBit,
    ColActiveLow,
    ColTripDelay,
    ColCount
};

QSpinBox* SpinBox(int max)
{
    auto* box = new QSpinBox;
    box->setRange(0, max);
    return box;
}

// German decimal comma first; a point is taken too.
bool ParseAmps(const QString& text, double& value)
{
    bool ok = false;
    QLocale de = QLocale::system();
    de.setNumberOptions(QLocale::RejectGroupSeparator);
    value = de.toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok;
}

// Whole milliseconds. A number beyond int is clamped, so the range check
// refuses it as too large rather than as no number.
bool ParseMs(const QString& text, int& value)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (ok)
        value = int(std::clamp<qlonglong>(v, INT_MIN, INT_MAX));
    return ok;
}

int ColumnOf(HardwareConfig::Field field)
{
    using Field = HardwareConfig::Field;
    switch (field) {
    case Field::ConverterAddress:
        return ColConverterAddress;
    case Field::Input:
        return ColInput;
    case Field::FullScale:
        return ColFullScale;
    case Field::OutputAddress:
        return ColOutputAddress;
    case Field::Bit:
        return ColBit;
    case Field::TripDelay:
        return ColTripDelay;
    default:
        return ColConverter;
    }
}

constexpr int kPortRole = Qt::UserRole;
constexpr int kAdapterRole = Qt::UserRole + 1;

} // namespace

CHardwareConfigDlg::CHardwareConfigDlg(const HardwareConfig& config, QWidget* parent,
                                       const std::vector<I2CAdapterInfo>& adapters)
    : QDialog(parent), m_result(config)
{
    setWindowTitle(QStringLiteral("Hardware-Konfiguration"));
    KeepWindowPlacement(this, QStringLiteral("Hardware-Konfiguration"));
    m_port = new QComboBox;
    const QString fixed[] = {QStringLiteral("Aus (Testquellen)"), QStringLiteral("Parallelport 1"),
                             QStringLiteral("Parallelport 2"), QStringLiteral("Simulation")};
    for (int nPort = HardwareConfig::Off; nPort <= HardwareConfig::Simulation; ++nPort) {
        m_port->addItem(fixed[nPort]);
        m_port->setItemData(nPort, nPort, kPortRole);
    }
    for (const I2CAdapterInfo& adapter : adapters)
        AddAdapter(adapter.number, QString::fromStdString(adapter.name));

    auto* table = m_table = new QTableWidget(HardwareConfig::kChannels, ColCount);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Wandler"), QStringLiteral("Adresse"), QStringLiteral("Eingang"),
         QStringLiteral("Vollausschlag (A)"), QStringLiteral("Ausgang"), QStringLiteral("Adresse"),
         QStringLiteral("Bit"), QStringLiteral("invertiert"),
         QStringLiteral("Auslöseverzögerung (ms)")});
    for (int i = 0; i < HardwareConfig::kChannels; ++i) {
        table->setVerticalHeaderItem(i, new QTableWidgetItem);
        Row& r = m_rows[i];
        r = {new QCheckBox, new QLineEdit, SpinBox(3),    new QLineEdit, new QCheckBox,
             new QLineEdit, SpinBox(7),    new QCheckBox, new QLineEdit};
        QWidget* cells[ColCount] = {r.converter, r.converterAddress, r.input,
                                    r.fullScale, r.output,           r.outputAddress,
                                    r.bit,       r.activeLow,        r.tripDelay};
        for (int c = 0; c < ColCount; ++c)
            table->setCellWidget(i, c, cells[c]);
    }
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* simulated = new QPushButton(QStringLiteral("Simulationsbelegung"));
    connect(simulated, &QPushButton::clicked, this,
            [this] { Fill(HardwareConfig::SimulatedLayout()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    buttons->addButton(simulated, QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CHardwareConfigDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CHardwareConfigDlg::reject);

    m_sweep = new QLineEdit;
    m_sweep->setMaximumWidth(80);
    auto* sweepRow = new QHBoxLayout;
    sweepRow->addWidget(m_sweep);
    sweepRow->addWidget(new QLabel(QStringLiteral("ms")));
    sweepRow->addStretch();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Anschluss:"), m_port);
    form->addRow(QStringLiteral("Messperiode:"), sweepRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(table);
    layout->addWidget(buttons);
    // Rows named as the monitoring window names the channels.
    auto* frame = qobject_cast<CMDIFrameWnd*>(parent);
    const auto* view = frame ? dynamic_cast<const CVelkorView*>(frame->GetActiveView()) : nullptr;
    QStringList names;
    if (view)
        names = QStringList(std::begin(view->m_strName), std::end(view->m_strName));
    SetChannelNames(names);
    resize(960, 560);
    Fill(config);
}

void CHardwareConfigDlg::SetChannelNames(const QStringList& names)
{
    for (int i = 0; i < HardwareConfig::kChannels; ++i) {
        const QString name = names.value(i).trimmed();
        m_table->verticalHeaderItem(i)->setText(
            name.isEmpty() ? QStringLiteral("Kanal %1").arg(i + 1)
                           : QStringLiteral("%1 – %2").arg(i + 1).arg(name));
    }
}

void CHardwareConfigDlg::AddAdapter(int number, const QString& name)
{
    m_port->addItem(QStringLiteral("I2C-Adapter %1: %2").arg(number).arg(name));
    m_port->setItemData(m_port->count() - 1, int(HardwareConfig::I2CAdapter), kPortRole);
    m_port->setItemData(m_port->count() - 1, number, kAdapterRole);
}

void CHardwareConfigDlg::Fill(const HardwareConfig& config)
{
    int index = -1;
    for (int i = 0; i < m_port->count() && index < 0; ++i) {
        const bool adapter = config.nPort == HardwareConfig::I2CAdapter;
        if (m_port->itemData(i, kPortRole).toInt() == config.nPort &&
            (!adapter || m_port->itemData(i, kAdapterRole).toInt() == config.nAdapter))
            index = i;
    }
    // A stored adapter that is not plugged in now stays the choice.
    if (index < 0 && config.nPort == HardwareConfig::I2CAdapter) {
        AddAdapter(config.nAdapter, QStringLiteral("(nicht gefunden)"));
        index = m_port->count() - 1;
    }
    m_port->setCurrentIndex(std::max(index, 0));
    m_sweep->setText(QString::number(config.nSweepMs));
    const QLocale de = QLocale::system();
    for (int i = 0; i < HardwareConfig::kChannels; ++i) {
        const ChannelWiring& w = config.channel[i];
        Row& r = m_rows[i];
        r.converter->setChecked(w.bConverter);
        r.converterAddress->setText(HexAddress(w.nConverter));
        r.input->setValue(w.nInput);
        r.fullScale->setText(de.toString(w.dFullScale, 'g', 15));
        r.output->setChecked(w.bOutput);
        r.outputAddress->setText(HexAddress(w.nPort));
        r.bit->setValue(w.nBit);
        r.activeLow->setChecked(w.bActiveLow);
        r.tripDelay->setText(QString::number(w.nTripDelayMs));
    }
}

HardwareConfig::Refusal CHardwareConfigDlg::Collect()
{
    using Field = HardwareConfig::Field;
    HardwareConfig c;
    c.nPort = m_port->currentData(kPortRole).toInt();
    if (c.nPort == HardwareConfig::I2CAdapter)
        c.nAdapter = m_port->currentData(kAdapterRole).toInt();
    if (!ParseMs(m_sweep->text(), c.nSweepMs))
        return {QStringLiteral("„%1“ ist keine Messperiode. Bitte eine ganze Zahl von %2 bis %3 ms "
                               "eingeben (z. B. 20).")
                    .arg(m_sweep->text(), QString::number(HardwareConfig::kMinSweepMs),
                         QString::number(HardwareConfig::kMaxSweepMs)),
                0, Field::SweepPeriod};
    for (int i = 0; i < HardwareConfig::kChannels; ++i) {
        const Row& r = m_rows[i];
        ChannelWiring& w = c.channel[i];
        const int k = i + 1;
        w.bConverter = r.converter->isChecked();
        w.bOutput = r.output->isChecked();
        int address = 0;
        if (!ParseAddress(r.converterAddress->text(), address)) {
            if (w.bConverter)
                return {QStringLiteral(
                            "Kanal %1: „%2“ ist keine Wandleradresse. Bitte eine gerade Zahl "
                            "von 0x00 bis 0xFE eingeben (z. B. 0x90).")
                            .arg(k)
                            .arg(r.converterAddress->text()),
                        k, Field::ConverterAddress};
        } else {
            w.nConverter = std::uint8_t(address);
        }
        if (!ParseAddress(r.outputAddress->text(), address)) {
            if (w.bOutput)
                return {QStringLiteral(
                            "Kanal %1: „%2“ ist keine Ausgangsadresse. Bitte eine gerade Zahl "
                            "von 0x00 bis 0xFE eingeben (z. B. 0x40).")
                            .arg(k)
                            .arg(r.outputAddress->text()),
                        k, Field::OutputAddress};
        } else {
            w.nPort = std::uint8_t(address);
        }
        w.nInput = r.input->value();
        w.nBit = r.bit->value();
        w.bActiveLow = r.activeLow->isChecked();
        if (!ParseAmps(r.fullScale->text(), w.dFullScale)) {
            if (w.bConverter)
                return {
                    QStringLiteral("Kanal %1: „%2“ ist kein Vollausschlag. Bitte einen Strom in A "
                                   "größer als 0 eingeben (z. B. 5,0).")
                        .arg(k)
                        .arg(r.fullScale->text()),
                    k, Field::FullScale};
            w.dFullScale = ChannelWiring().dFullScale;
        }
        if (!ParseMs(r.tripDelay->text(), w.nTripDelayMs)) {
            if (w.bConverter || w.bOutput)
                return {QStringLiteral("Kanal %1: „%2“ ist keine Auslöseverzögerung. Bitte eine "
                                       "ganze Zahl von 0 bis %3 ms eingeben (z. B. 50).")
                            .arg(QString::number(k), r.tripDelay->text(),
                                 QString::number(ChannelWiring::kMaxTripDelayMs)),
                        k, Field::TripDelay};
            w.nTripDelayMs = ChannelWiring().nTripDelayMs;
        }
    }
    HardwareConfig::Refusal refusal = c.Check();
    if (refusal.reason.isEmpty())
        m_result = c;
    return refusal;
}

QWidget* CHardwareConfigDlg::FieldWidget(int nChannel, HardwareConfig::Field field) const
{
    using Field = HardwareConfig::Field;
    if (field == Field::SweepPeriod)
        return m_sweep;
    if (field == Field::Port || nChannel < 1 || nChannel > HardwareConfig::kChannels)
        return m_port;
    const Row& r = m_rows[nChannel - 1];
    switch (field) {
    case Field::ConverterAddress:
        return r.converterAddress;
    case Field::Input:
        return r.input;
    case Field::FullScale:
        return r.fullScale;
    case Field::OutputAddress:
        return r.outputAddress;
    case Field::Bit:
        return r.bit;
    case Field::TripDelay:
        return r.tripDelay;
    default:
        return r.converter;
    }
}

void CHardwareConfigDlg::accept()
{
    const HardwareConfig::Refusal refusal = Collect();
    if (refusal.reason.isEmpty()) {
        QDialog::accept();
        return;
    }
    AfxMessageBox(refusal.reason, MB_OK | MB_ICONEXCLAMATION, this);
    // Stays open with the refused field in view and ready to be typed over.
    QWidget* field = FieldWidget(refusal.nChannel, refusal.field);
    if (refusal.nChannel >= 1)
        m_table->scrollTo(m_table->model()->index(refusal.nChannel - 1, ColumnOf(refusal.field)));
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QSpinBox*>(field))
        spin->selectAll();
}
