#pragma once
// Table model over the journal's events, and the filter by channel and kind.

#include "journal/JournalEvent.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QVector>

class CJournalModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        ColTime,
        ColChannel,
        ColName,
        ColCurrent,
        ColKind,
        ColDetail,
        ColCount
    };
    // Sort role: raw values, so time and current sort by value, not by text.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit CJournalModel(const QVector<JournalEvent>& events, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Called by the owner around changes of the event list.
    void BeginAppend(int count);
    void EndAppend();
    void BeginDropFront(int count);
    void EndDropFront();
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

private:
    const QVector<JournalEvent>& m_events;
};

class CJournalFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    // 0: every channel; -1: every kind.
    void SetChannel(int nChannel);
    void SetKind(int nKind);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    int m_nChannel = 0;
    int m_nKind = -1;
};
