#pragma once
// The "Ereignisprotokoll" window: the events newest first in a sortable table,
// filters by channel and kind, trip counts per channel, CSV export.

#include <QWidget>

class CJournalModule;
class CJournalFilter;
class QComboBox;
class QTableView;
class QTableWidget;

class CJournalWnd : public QWidget
{
    Q_OBJECT
public:
    CJournalWnd(CJournalModule& module, QWidget* parent);

    // Recounts the trips (called when events arrive while shown).
    void RefreshCounts();
    // Rows as shown (filtered and sorted), for the export.
    QList<int> ShownRows() const;

    QTableView* Table() const { return m_table; }
    QTableWidget* Counts() const { return m_counts; }
    QComboBox* ChannelFilter() const { return m_channel; }
    QComboBox* KindFilter() const { return m_kind; }
    CJournalFilter* Filter() const { return m_filter; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    QWidget* CreateFilterRow();
    QTableWidget* CreateCounts();
    void SizeColumns();
    static void FitHeader(QTableView* table);

    CJournalModule& m_module;
    CJournalFilter* m_filter;
    QTableView* m_table;
    QTableWidget* m_counts;
    QComboBox* m_channel = nullptr;
    QComboBox* m_kind = nullptr;
};
