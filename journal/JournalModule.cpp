#include "journal/JournalModule.h"

#include "framework/MDIFrame.h"
#include "framework/Messages.h"
#include "framework/Numbers.h"
#include "framework/WinApp.h"
#include "journal/Exports.h"
#include "journal/HistoryWnd.h"
#include "journal/JournalModel.h"
#include "journal/JournalWnd.h"
#include "journal/LocalTime.h"
#include "res/resource.h"
#include "view/Truncate.h"
#include "view/VelkorView.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>
#include <QStatusBar>

namespace {

const QString kCsvFilter = QStringLiteral("CSV-Dateien (*.csv);;Alle Dateien (*)");

// The current as the view shows it: cut to 0.01 A.
double ShownCurrent(double current)
{
    return korva_view::TruncTo(current, 100.0);
}

QString SkippedLinesText(int nSkipped)
{
    return nSkipped == 1 ? QStringLiteral("1 beschädigte Zeile übersprungen")
                         : QStringLiteral("%1 beschädigte Zeilen übersprungen").arg(nSkipped);
}

QString ProposedPath(const QString& name)
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name);
}

} // namespace

CJournalModule::CJournalModule(CMDIFrameWnd* frame)
    : m_frame(frame), m_model(std::make_unique<CJournalModel>(m_events)),
      m_strPath(CJournalFile::DefaultPath()), m_writer(m_strPath, [this](bool bOk) {
          QMetaObject::invokeMethod(
              &m_context, [this, bOk] { OnWriteState(bOk); }, Qt::QueuedConnection);
      })
{
    LoadJournal();
    RegisterCommands();
    AddViewListener(this);
}

CJournalModule::~CJournalModule()
{
    RemoveViewListener(this);
    // The windows may outlive us as the frame's children; they use the module.
    delete m_journalWnd.data();
    delete m_historyWnd.data();
}

void CJournalModule::RegisterCommands()
{
    OnCommand(ID_EREIGNISPROTOKOLL, [this] { OnEreignisprotokoll(); });
    OnCommand(ID_VERLAUF, [this] { OnVerlauf(); });
    OnCommand(ID_EXPORT_VERBRAUCH, [this] { OnExportVerbrauch(); });
    OnCommand(ID_EXPORT_HOECHSTWERTE, [this] { OnExportHoechstwerte(); });
    const auto needsView = [this](CCmdUI* ui) { ui->Enable(ActiveView() != nullptr); };
    OnUpdateCommand(ID_EXPORT_VERBRAUCH, needsView);
    OnUpdateCommand(ID_EXPORT_HOECHSTWERTE, needsView);
}

void CJournalModule::LoadJournal()
{
    const CJournalFile file(m_strPath);
    CJournalFile::LoadResult loaded = file.Load();
    if (loaded.events.size() > kMaxEvents)
        loaded.events.remove(0, loaded.events.size() - kMaxEvents);
    // Older runs stored the current with all its digits.
    for (JournalEvent& ev : loaded.events)
        ev.dCurrent = ShownCurrent(ev.dCurrent);
    m_events = std::move(loaded.events);
    m_nSkipped = loaded.skipped;
    QStringList notes;
    if (loaded.bOlderLeftOut)
        notes << QStringLiteral("nur die neuesten %1 MB geladen, ältere Einträge ausgelassen")
                     .arg(file.LoadBound() / (1024 * 1024));
    if (m_nSkipped > 0)
        notes << SkippedLinesText(m_nSkipped);
    if (!notes.isEmpty())
        StatusMessage(QStringLiteral("Ereignisprotokoll: ") + notes.join(QStringLiteral("; ")));
}

void CJournalModule::StatusMessage(const QString& text)
{
    m_strLastStatus = text;
    if (m_frame)
        m_frame->statusBar()->showMessage(text);
}

// Takes back only our own text: the status bar may show another by now.
void CJournalModule::ClearStatusMessage(const QString& text)
{
    if (m_strLastStatus != text)
        return;
    m_strLastStatus.clear();
    if (m_frame && m_frame->statusBar()->currentMessage() == text)
        m_frame->statusBar()->clearMessage();
}

CVelkorView* CJournalModule::ActiveView() const
{
    return m_frame ? dynamic_cast<CVelkorView*>(m_frame->GetActiveView()) : nullptr;
}

// ---- listening ----

void CJournalModule::OnViewClosing(CVelkorView& view)
{
    if (m_historyWnd && m_historyWnd->View() == &view)
        m_historyWnd->SetSource(nullptr, nullptr);
    m_history.erase(&view);
    if (m_lastView == &view) {
        m_lastView = nullptr;
        m_lastHistory = nullptr;
    }
}

CViewHistory& CJournalModule::HistoryOf(const CVelkorView& view)
{
    if (m_lastView != &view) {
        auto& slot = m_history[&view];
        if (!slot)
            slot = std::make_unique<CViewHistory>();
        m_lastView = &view;
        m_lastHistory = slot.get();
    }
    return *m_lastHistory;
}

const CViewHistory* CJournalModule::History(const CVelkorView* view) const
{
    const auto it = m_history.find(view);
    return it == m_history.end() ? nullptr : it->second.get();
}

void CJournalModule::OnChannelEvent(CVelkorView& view, ChannelEvent kind, int nChannel,
                                    double current)
{
    RecordEvent(view, kind, nChannel, current, QString());
    // The box says why, but not which channel: with sixteen that matters.
    if (kind == ChannelEvent::ManualOnLocked && m_frame && nChannel >= 1 && nChannel <= 16)
        m_frame->statusBar()->showMessage(
            QStringLiteral("Einschalten gesperrt: Kanal %1 „%2“ – Kurzschluss erst beheben")
                .arg(nChannel)
                .arg(view.m_strName[nChannel - 1]),
            kLockedMessageMs);
}

void CJournalModule::OnHardwareEvent(CVelkorView& view, ChannelEvent kind, int nChannel,
                                     double current, const QString& detail)
{
    RecordEvent(view, kind, nChannel, current, detail);
}

void CJournalModule::RecordEvent(CVelkorView& view, ChannelEvent kind, int nChannel, double current,
                                 const QString& detail)
{
    JournalEvent ev;
    ev.time = CurrentLocalTime();
    // A trip on the bus is told afterwards: it happened when the output went off.
    if (const qint64 at = CurrentEventTime(); at != 0)
        ev.time = ev.time.addMSecs(at - ev.time.toMSecsSinceEpoch());
    ev.nChannel = nChannel;
    ev.strName = nChannel >= 1 && nChannel <= 16 ? view.m_strName[nChannel - 1] : QString();
    ev.dCurrent = ShownCurrent(current);
    ev.kind = kind;
    ev.strDetail = detail.isEmpty() ? CurrentSwitchOrigin() : detail; // who switched from outside
    Record(ev);
    // An output device's failure concerns its channels, not all of them.
    if (nChannel != 0 || kind == ChannelEvent::AllOff || kind == ChannelEvent::AllOn)
        HistoryOf(view).AddMarker(ev.time.toMSecsSinceEpoch(), nChannel, kind);
}

void CJournalModule::RecordMessage(const QString& text)
{
    JournalEvent ev;
    ev.time = CurrentLocalTime();
    ev.kind = ChannelEvent::Message;
    ev.strDetail = text;
    Record(ev);
}

QVector<JournalEvent> CJournalModule::RecordedSince(quint64 seen, qsizetype nMax) const
{
    if (seen >= m_nRecorded)
        return {};
    const qsizetype n = qsizetype(std::min<quint64>(m_nRecorded - seen, quint64(nMax)));
    return m_events.mid(std::max<qsizetype>(0, m_events.size() - n));
}

void CJournalModule::Record(const JournalEvent& ev)
{
    if (m_events.size() >= kMaxEvents) {
        const int drop = kMaxEvents / 10;
        m_model->BeginDropFront(drop);
        m_events.remove(0, drop);
        m_model->EndDropFront();
    }
    m_model->BeginAppend(1);
    m_events.append(ev);
    ++m_nRecorded;
    m_model->EndAppend();
    if (m_journalWnd && m_journalWnd->isVisible())
        m_journalWnd->RefreshCounts();
    m_writer.Post(ev);
}

// Measuring goes on whatever the disk says; the warning stands while
// writing fails.
void CJournalModule::OnWriteState(bool bOk)
{
    const QString warning =
        QStringLiteral("Ereignisprotokoll kann nicht nach %1 geschrieben werden")
            .arg(QDir::toNativeSeparators(m_strPath));
    if (bOk)
        ClearStatusMessage(warning);
    else
        StatusMessage(warning);
}

void CJournalModule::OnMeasured(CVelkorView& view)
{
    double currents[CViewHistory::kChannels];
    for (int i = 0; i < CViewHistory::kChannels; ++i)
        currents[i] = view.m_channel[i].m_dAnzeigestrom;
    AddHistoryPoint(view, currents);
}

// With test values the shown numbers stand still after a cutoff; the curve
// goes on with them once a second. (A hardware source never stands still.)
void CJournalModule::OnStandstill(CVelkorView& view)
{
    OnMeasured(view);
}

void CJournalModule::AddHistoryPoint(CVelkorView& view, const double* currents)
{
    HistoryOf(view).AddPoint(QDateTime::currentMSecsSinceEpoch(), currents);
    if (m_historyWnd && m_historyWnd->isVisible()) {
        if (!m_historyWnd->View())
            m_historyWnd->SetSource(m_lastHistory, &view);
        if (m_historyWnd->View() == &view)
            m_historyWnd->Refresh();
    }
}

// ---- windows ----

CJournalWnd* CJournalModule::JournalWindow() const
{
    return m_journalWnd.data();
}
CHistoryWnd* CJournalModule::HistoryWindow() const
{
    return m_historyWnd.data();
}

void CJournalModule::OnEreignisprotokoll()
{
    if (!m_journalWnd)
        m_journalWnd = new CJournalWnd(*this, m_frame);
    m_journalWnd->show();
    m_journalWnd->raise();
    m_journalWnd->activateWindow();
}

void CJournalModule::OnVerlauf()
{
    if (!m_historyWnd)
        m_historyWnd = new CHistoryWnd(m_frame);
    // The active document's history; without one, any open document's.
    const CVelkorView* view = ActiveView();
    if (!view && !m_history.empty())
        view = m_history.begin()->first;
    m_historyWnd->SetSource(view ? &HistoryOf(*view) : nullptr, view);
    m_historyWnd->show();
    m_historyWnd->raise();
    m_historyWnd->activateWindow();
}

// ---- exports ----

bool CJournalModule::SaveCsv(const QString& path, const QString& text)
{
    QString error;
    if (WriteCsvFile(path, text, &error))
        return true;
    AfxMessageBox(
        QStringLiteral("Die Datei \u201E%1\u201C konnte nicht gespeichert werden.\n%2\n"
                       "Die Werte bleiben erhalten; bitte wählen Sie einen anderen Speicherort.")
            .arg(QDir::toNativeSeparators(path), error),
        MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool CJournalModule::ExportVerbrauch(const CVelkorView& view, const QString& path)
{
    return SaveCsv(path, VerbrauchCsv(view.m_dlgVerbrauch, CsvFormat::ForLocale(UiLocale())));
}

bool CJournalModule::ExportHoechstwerte(const CVelkorView& view, const QString& path)
{
    return SaveCsv(path, HoechstwerteCsv(view.m_dlgMaximalwerte, CsvFormat::ForLocale(UiLocale())));
}

bool CJournalModule::ExportJournal(const QString& path)
{
    QList<int> rows;
    if (m_journalWnd) {
        rows = m_journalWnd->ShownRows();
    } else {
        for (int r = int(m_events.size()) - 1; r >= 0; --r)
            rows << r;
    }
    return SaveCsv(path, JournalCsv(m_events, rows, CsvFormat::ForLocale(UiLocale())));
}

void CJournalModule::OnExportVerbrauch()
{
    const CVelkorView* view = ActiveView();
    if (!view)
        return;
    const QString path =
        CWinApp::GetSaveFileName(ProposedPath(QStringLiteral("Verbrauch.csv")), kCsvFilter);
    if (!path.isEmpty())
        ExportVerbrauch(*view, path);
}

void CJournalModule::OnExportHoechstwerte()
{
    const CVelkorView* view = ActiveView();
    if (!view)
        return;
    const QString path =
        CWinApp::GetSaveFileName(ProposedPath(QStringLiteral("Höchstwerte.csv")), kCsvFilter);
    if (!path.isEmpty())
        ExportHoechstwerte(*view, path);
}

void CJournalModule::OnExportJournal()
{
    const QString path =
        CWinApp::GetSaveFileName(ProposedPath(QStringLiteral("Ereignisprotokoll.csv")), kCsvFilter);
    if (!path.isEmpty())
        ExportJournal(path);
}
