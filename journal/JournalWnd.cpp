#include "journal/JournalWnd.h"

#include "framework/MDIFrame.h"
#include "framework/WindowPlacement.h"
#include "journal/JournalModel.h"
#include "journal/JournalModule.h"
#include "view/VelkorView.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

CJournalWnd::CJournalWnd(CJournalModule& module, QWidget* parent)
    : QWidget(parent, Qt::Window), m_module(module)
{
    setWindowTitle(QStringLiteral("Ereignisprotokoll"));
    KeepWindowPlacement(this, QStringLiteral("Ereignisprotokoll"));
    setObjectName(QStringLiteral("Ereignisprotokoll"));

    m_filter = new CJournalFilter(this);
    m_filter->setSourceModel(module.Model());
    m_filter->setSortRole(CJournalModel::SortRole);

    m_table = new QTableView;
    m_table->setModel(m_filter);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(CJournalModel::ColTime, Qt::DescendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    SizeColumns();

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(m_table);
    split->addWidget(CreateCounts());
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateFilterRow());
    layout->addWidget(split);
    resize(860, 560);
}

// Widths from the font, once: resizing to the contents on every new event
// would make the table jump under the reader's eyes.
void CJournalWnd::SizeColumns()
{
    const QFontMetrics fm = m_table->fontMetrics();
    const int pad = 2 * fm.horizontalAdvance(QLatin1Char('M'));
    const QString time = FormatEventTime(QDateTime(QDate(2000, 12, 28), QTime(20, 58, 58, 888)));
    int kindWidth = 0;
    for (int k = 0; k < kEventKinds; ++k)
        kindWidth = std::max(kindWidth, fm.horizontalAdvance(EventKindText(ChannelEvent(k))));
    m_table->setColumnWidth(CJournalModel::ColTime, fm.horizontalAdvance(time) + pad);
    m_table->setColumnWidth(CJournalModel::ColChannel,
                            fm.horizontalAdvance(QStringLiteral("16")) + pad);
    m_table->setColumnWidth(CJournalModel::ColKind, kindWidth + pad);
    FitHeader(m_table);
}

// No column narrower than its title (and the sort arrow beside it).
void CJournalWnd::FitHeader(QTableView* table)
{
    QHeaderView* header = table->horizontalHeader();
    for (int c = 0; c + 1 < header->count(); ++c)
        table->setColumnWidth(c, std::max(table->columnWidth(c), header->sectionSizeHint(c)));
}

QWidget* CJournalWnd::CreateFilterRow()
{
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    m_channel = new QComboBox;
    m_channel->addItem(QStringLiteral("Alle Kanäle"), 0);
    for (int k = 1; k <= 16; ++k)
        m_channel->addItem(QStringLiteral("Kanal %1").arg(k), k);
    m_kind = new QComboBox;
    m_kind->addItem(QStringLiteral("Alle Ereignisse"), -1);
    for (int k = 0; k < kEventKinds; ++k)
        m_kind->addItem(EventKindText(ChannelEvent(k)), k);
    auto* exportButton = new QPushButton(QStringLiteral("Exportieren..."));
    exportButton->setObjectName(QStringLiteral("Exportieren"));
    connect(m_channel, &QComboBox::currentIndexChanged, this,
            [this] { m_filter->SetChannel(m_channel->currentData().toInt()); });
    connect(m_kind, &QComboBox::currentIndexChanged, this,
            [this] { m_filter->SetKind(m_kind->currentData().toInt()); });
    connect(exportButton, &QPushButton::clicked, this, [this] { m_module.OnExportJournal(); });
    h->addWidget(new QLabel(QStringLiteral("Kanal:")));
    h->addWidget(m_channel);
    h->addWidget(new QLabel(QStringLiteral("Ereignis:")));
    h->addWidget(m_kind);
    h->addStretch();
    h->addWidget(exportButton);
    return row;
}

QTableWidget* CJournalWnd::CreateCounts()
{
    m_counts = new QTableWidget(16, 4);
    m_counts->setHorizontalHeaderLabels({QStringLiteral("Kanal"), QStringLiteral("Name"),
                                         QStringLiteral("Abschaltungen"),
                                         QStringLiteral("Letzte Abschaltung")});
    m_counts->verticalHeader()->hide();
    m_counts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_counts->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 4; ++c)
            m_counts->setItem(r, c, new QTableWidgetItem);
    FitHeader(m_counts);
    return m_counts;
}

void CJournalWnd::RefreshCounts()
{
    int trips[16] = {};
    QString names[16], last[16];
    for (const JournalEvent& ev : m_module.Events()) {
        if (ev.nChannel < 1 || ev.nChannel > 16)
            continue;
        const int i = ev.nChannel - 1;
        names[i] = ev.strName;
        if (ev.kind == ChannelEvent::Cutoff) {
            ++trips[i];
            last[i] = FormatEventTime(ev.time);
        }
    }
    // Every row is named: as the monitoring window names the channel now,
    // else as the journal last did, else by the channel's number.
    auto* frame = qobject_cast<CMDIFrameWnd*>(parentWidget());
    const auto* view = frame ? dynamic_cast<const CVelkorView*>(frame->GetActiveView()) : nullptr;
    for (int i = 0; i < 16; ++i) {
        if (view)
            names[i] = view->m_strName[i];
        if (names[i].isEmpty())
            names[i] = QStringLiteral("Kanal %1").arg(i + 1);
        m_counts->item(i, 0)->setText(QString::number(i + 1));
        m_counts->item(i, 1)->setText(names[i]);
        m_counts->item(i, 2)->setText(QString::number(trips[i]));
        m_counts->item(i, 3)->setText(last[i].isEmpty() ? QStringLiteral("–") : last[i]);
    }
}

QList<int> CJournalWnd::ShownRows() const
{
    QList<int> rows;
    for (int r = 0; r < m_filter->rowCount(); ++r)
        rows << m_filter->mapToSource(m_filter->index(r, 0)).row();
    return rows;
}

void CJournalWnd::showEvent(QShowEvent* e)
{
    RefreshCounts();
    QWidget::showEvent(e);
}
