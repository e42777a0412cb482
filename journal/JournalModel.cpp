#include "journal/JournalModel.h"

#include "framework/Numbers.h"

CJournalModel::CJournalModel(const QVector<JournalEvent>& events, QObject* parent)
    : QAbstractTableModel(parent), m_events(events)
{
}

int CJournalModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

int CJournalModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColCount;
}

QVariant CJournalModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_events.size())
        return {};
    const JournalEvent& ev = m_events[index.row()];
    if (role == SortRole) {
        switch (index.column()) {
        case ColTime:
            return index.row(); // events are kept in time order
        case ColChannel:
            return ev.nChannel;
        case ColName:
            return ev.strName;
        case ColCurrent:
            return ev.dCurrent;
        case ColKind:
            return EventKindText(ev.kind);
        case ColDetail:
            return ev.strDetail;
        }
    }
    if (role == Qt::TextAlignmentRole &&
        (index.column() == ColChannel || index.column() == ColCurrent))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColTime:
        return FormatEventTime(ev.time);
    case ColChannel:
        if (ev.nChannel)
            return QString::number(ev.nChannel);
        return ev.kind == ChannelEvent::AllOff || ev.kind == ChannelEvent::AllOn
                   ? QStringLiteral("alle")
                   : QString();
    case ColName:
        return ev.strName;
    case ColCurrent:
        return ev.nChannel ? FormatNumber(ev.dCurrent) : QString();
    case ColKind:
        return EventKindText(ev.kind);
    case ColDetail:
        return ev.strDetail;
    }
    return {};
}

QVariant CJournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[ColCount] = {"Zeit",      "Kanal",    "Name",
                                                 "Strom (A)", "Ereignis", "Hinweis"};
    return section >= 0 && section < ColCount ? QString::fromUtf8(titles[section]) : QVariant();
}

void CJournalModel::BeginAppend(int count)
{
    beginInsertRows({}, int(m_events.size()), int(m_events.size()) + count - 1);
}
void CJournalModel::EndAppend()
{
    endInsertRows();
}
void CJournalModel::BeginDropFront(int count)
{
    beginRemoveRows({}, 0, count - 1);
}
void CJournalModel::EndDropFront()
{
    endRemoveRows();
}

void CJournalFilter::SetChannel(int nChannel)
{
    m_nChannel = nChannel;
    invalidateFilter();
}

void CJournalFilter::SetKind(int nKind)
{
    m_nKind = nKind;
    invalidateFilter();
}

bool CJournalFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* m = sourceModel();
    if (m_nChannel > 0 && m->index(sourceRow, CJournalModel::ColChannel, sourceParent)
                                  .data(CJournalModel::SortRole)
                                  .toInt() != m_nChannel)
        return false;
    if (m_nKind >= 0 && m->index(sourceRow, CJournalModel::ColKind, sourceParent)
                                .data(CJournalModel::SortRole)
                                .toString() != EventKindText(ChannelEvent(m_nKind)))
        return false;
    return true;
}
