#pragma once
// The event journal, the current history and the CSV exports: an add-on that
// listens to the monitoring views and answers its own commands.

#include "framework/CmdTarget.h"
#include "journal/History.h"
#include "journal/JournalEvent.h"
#include "journal/JournalFile.h"
#include "journal/JournalWriter.h"
#include "view/ViewEvents.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>
#include <memory>
#include <unordered_map>

class CMDIFrameWnd;
class CVelkorView;
class CJournalModel;
class CJournalWnd;
class CHistoryWnd;

class CJournalModule : public CCmdTarget, public IViewListener
{
public:
    // Events kept in memory; the file keeps its own bound.
    static constexpr int kMaxEvents = 100000;

    explicit CJournalModule(CMDIFrameWnd* frame);
    ~CJournalModule() override;

    void OnViewClosing(CVelkorView& view) override;
    void OnChannelEvent(CVelkorView& view, ChannelEvent kind, int nChannel,
                        double current) override;
    void OnMeasured(CVelkorView& view) override;
    void OnStandstill(CVelkorView& view) override;
    void OnHardwareEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current,
                         const QString& detail) override;

    // A message of the unattended program, with the time it was given.
    void RecordMessage(const QString& text);

    // Commands.
    void OnEreignisprotokoll();
    void OnVerlauf();
    void OnExportVerbrauch();
    void OnExportHoechstwerte();
    void OnExportJournal();

    // Exports to a given file; a failure shows a German message and returns false.
    bool ExportVerbrauch(const CVelkorView& view, const QString& path);
    bool ExportHoechstwerte(const CVelkorView& view, const QString& path);
    bool ExportJournal(const QString& path);

    const QVector<JournalEvent>& Events() const { return m_events; }
    // Events recorded since start-up (not those read from the file): a
    // listener compares it with its own count to find the new ones.
    quint64 Recorded() const { return m_nRecorded; }
    // The events recorded after the count `seen`, at most nMax of them.
    QVector<JournalEvent> RecordedSince(quint64 seen, qsizetype nMax) const;
    CJournalModel* Model() const { return m_model.get(); }
    const CViewHistory* History(const CVelkorView* view) const;
    QString FilePath() const { return m_strPath; }
    // Returns once every recorded event is in the journal file.
    void FlushFile() { m_writer.Drain(); }
    // Lines of the journal file skipped at start-up.
    int SkippedLines() const { return m_nSkipped; }
    // The last text put into the status bar.
    QString LastStatus() const { return m_strLastStatus; }
    CJournalWnd* JournalWindow() const;
    CHistoryWnd* HistoryWindow() const;

private:
    void RegisterCommands();
    void LoadJournal();
    void RecordEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current,
                     const QString& detail);
    void Record(const JournalEvent& ev);
    CViewHistory& HistoryOf(const CVelkorView& view);
    void AddHistoryPoint(CVelkorView& view, const double* currents);
    CVelkorView* ActiveView() const;
    bool SaveCsv(const QString& path, const QString& text);
    void StatusMessage(const QString& text);
    void ClearStatusMessage(const QString& text);
    void OnWriteState(bool bOk);

    static constexpr int kLockedMessageMs = 10000; // a refused switch-on in the status bar
    CMDIFrameWnd* m_frame;
    QVector<JournalEvent> m_events;
    std::unique_ptr<CJournalModel> m_model;
    QString m_strPath;
    QObject m_context; // receives the writer thread's reports
    CJournalWriter m_writer;
    int m_nSkipped = 0;
    quint64 m_nRecorded = 0;
    QString m_strLastStatus;
    std::unordered_map<const CVelkorView*, std::unique_ptr<CViewHistory>> m_history;
    const CVelkorView* m_lastView = nullptr; // the map entry of the last tick, cached
    CViewHistory* m_lastHistory = nullptr;
    QPointer<CJournalWnd> m_journalWnd;
    QPointer<CHistoryWnd> m_historyWnd;
};
