// The application shell started offscreen: start-up order and results, the
// frame with its toolbar, menus and status panes, the splash screen, command
// enabling, and opening files from the command line, the recent list and drops.

#include "app/MainFrm.h"
#include "app/Splash.h"
#include "app/VelkorApp.h"
#include "doc/VelkorDoc.h"
#include "framework/DocTemplate.h"
#include "framework/Document.h"
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "helpers/TestSink.h"
#include "res/resource.h"
#include "view/VelkorView.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>

namespace {

// Starts the application as main() does, and takes it down again.
struct Started
{
    std::unique_ptr<CVelkorApp> app = std::make_unique<CVelkorApp>();
    bool ok = false;
    explicit Started(QStringList args)
    {
        args.prepend(QStringLiteral("korva"));
        ok = app->InitInstance(args);
    }
    ~Started()
    {
        CSplashWnd::HideSplashScreen();
        app->CloseAllDocuments();
        delete app->m_pMainWnd;
    }
    CMainFrame* frame() const { return app->MainFrame(); }
    QStringList menuTitles() const
    {
        QStringList t;
        for (QAction* a : frame()->menuBar()->actions())
            t << a->text();
        return t;
    }
};

QByteArray newDocumentBytes()
{
    CVelkorDoc doc;
    doc.OnNewDocument();
    QTemporaryDir dir;
    const QString path = dir.filePath("x.sav");
    doc.OnSaveDocument(path);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings("Kalvento GmbH", "KORVA_Powermanagement").clear();
    }
    void init() { QSettings("Kalvento GmbH", "KORVA_Powermanagement").clear(); }

    void startsWithFrameToolbarAndNewDocument();
    void menusFollowOpenDocuments();
    void statusBarHasIndicatorsDateAndTime();
    void messageReplacesIdleText();
    void commandsWithoutHandlerAreDisabled();
    void splashIsRemovedByFirstKeyWhichIsConsumed();
    void commandLineOpensFile();
    void unreadableCommandLineFileEndsStartUp();
    void recentListKeepsOneEntry();
    void recentEntryThatFailsIsRemoved();
    void droppedFileOpens();
    void fileTypeIsRegisteredInUserData();
    void closingWindowAsksAndClosesDocument();
    void frameTitleFollowsDocumentAndMaximizedChild();
    void messageBoxRemovesSplash();
    void refusedSwitchOnNamesTheChannel();
};

void TestApp::startsWithFrameToolbarAndNewDocument()
{
    Started s({"--nologo"});
    QVERIFY(s.ok);
    CMainFrame* f = s.frame();
    QVERIFY(f->isVisible());
    // The whole window, decorations included, once they are known.
    QCOMPARE(f->frameGeometry(), QRect(0, 0, 736, 590));
    QCOMPARE(f->MdiArea()->subWindowList().size(), 1);
    QCOMPARE(f->windowTitle(), QStringLiteral("KORVA_Powermanagement - KORVA_Powermanagement1"));

    QList<int> buttons;
    for (QAction* a : f->ToolBar()->actions())
        buttons << (a->isSeparator() ? 0 : a->objectName().toInt());
    QCOMPARE(buttons, (QList<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_ALLE_AUS, ID_ALLE_EIN, 0,
                                  ID_ZOOM, ID_MAXWERTE, ID_VERBRAUCH, ID_EREIGNISPROTOKOLL, ID_VERLAUF}));
    QCOMPARE(f->ToolBar()->iconSize(), QSize(24, 24));
    QCOMPARE(f->Action(ID_ALLE_AUS)->toolTip(), QStringLiteral("ausschalten"));
    QCOMPARE(f->Action(ID_ALLE_AUS)->statusTip(), QStringLiteral("Schaltet alle Eingänge ab."));
}

void TestApp::menusFollowOpenDocuments()
{
    Started s({"--nologo"});
    QCOMPARE(s.menuTitles(), (QStringList{"&Datei", "&Bearbeiten", "&Ansicht", "&?"}));
    s.app->CloseAllDocuments();
    QTRY_COMPARE(s.frame()->MdiArea()->subWindowList().size(), 0);
    QTRY_COMPARE(s.menuTitles(), (QStringList{"&Datei", "&Ansicht", "&?"}));
    s.app->OnFileNew();
    QCOMPARE(s.menuTitles().size(), 4);
    // A second new document gets the next number.
    QCOMPARE(s.app->DocTemplate()->Documents().constLast()->GetTitle(),
             QStringLiteral("KORVA_Powermanagement2"));
}

void TestApp::statusBarHasIndicatorsDateAndTime()
{
    Started s({"--nologo"});
    CMainFrame* f = s.frame();
    QCOMPARE(f->m_nDatePaneNo, 4);
    QCOMPARE(f->m_nTimePaneNo, 5);
    QCOMPARE(f->m_wndStatusBar.GetCount(), 6);
    QCOMPARE(f->m_wndStatusBar.GetItemID(1), ID_INDICATOR_CAPS);
    QCOMPARE(f->m_wndStatusBar.GetItemID(3), ID_INDICATOR_SCRL);
    QCOMPARE(f->m_wndStatusBar.GetPaneText(4), CMainFrame::FormatNow("%x"));
    // In the German locale the date reads dd.mm.yyyy.
    QVERIFY2(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4}$").match(f->m_wndStatusBar.GetPaneText(4)).hasMatch(),
             qPrintable(f->m_wndStatusBar.GetPaneText(4)));
    const QString before = f->m_wndStatusBar.GetPaneText(5);
    QTRY_VERIFY_WITH_TIMEOUT(f->m_wndStatusBar.GetPaneText(5) != before, 3000);
    // The pane is as wide as its text.
    QLabel* time = f->m_wndStatusBar.Pane(5);
    QCOMPARE(time->width(), f->m_wndStatusBar.TextWidth(time->text()) + 8);
}

// A message shown before the frame is (an add-on's at start-up) stands in
// the idle text's place, not over it; once cleared, "Bereit" is back.
void TestApp::messageReplacesIdleText()
{
    Started s({"--nologo"});
    CMainFrame* f = s.frame();
    QLabel* idle = nullptr;
    for (QLabel* l : f->statusBar()->findChildren<QLabel*>())
        if (l->text() == QStringLiteral("Bereit"))
            idle = l;
    QVERIFY(idle);
    f->hide();
    f->statusBar()->showMessage(
        QStringLiteral("Ereignisprotokoll: 2 beschädigte Zeilen übersprungen"));
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    QVERIFY(!idle->isVisible());
    f->statusBar()->clearMessage();
    QVERIFY(idle->isVisible());
    f->statusBar()->showMessage(QStringLiteral("Hinweis"));
    QVERIFY(!idle->isVisible());
}

void TestApp::commandsWithoutHandlerAreDisabled()
{
    Started s({"--nologo"});
    CMainFrame* f = s.frame();
    f->UpdateCmdUI();
    QVERIFY(f->Action(ID_ALLE_AUS)->isEnabled());
    QVERIFY(f->Action(ID_ALLE_EIN)->isEnabled());
    QVERIFY(f->Action(ID_INPUT1)->isEnabled());
    QVERIFY(!f->Action(ID_INPUT17)->isEnabled());
    QVERIFY(!f->Action(ID_INPUT32)->isEnabled());
    QVERIFY(!f->Action(ID_FILE_MRU_FILE1)->isEnabled());
    QCOMPARE(f->Action(ID_FILE_MRU_FILE1)->text(), QStringLiteral("Letzte Datei"));
    s.app->CloseAllDocuments();
    QTRY_COMPARE(f->MdiArea()->subWindowList().size(), 0);
    f->UpdateCmdUI();
    QVERIFY(!f->Action(ID_ALLE_AUS)->isEnabled());
    QVERIFY(!f->Action(ID_FILE_SAVE)->isEnabled());
    QVERIFY(!f->Action(ID_HELP_TOPICS)->isEnabled());
    QVERIFY(f->Action(ID_FILE_NEW)->isEnabled());
}

void TestApp::splashIsRemovedByFirstKeyWhichIsConsumed()
{
    CSplashFilter filter;
    qApp->installEventFilter(&filter);
    Started s({});
    CSplashWnd* splash = CSplashWnd::Current();
    QVERIFY(splash);
    QCOMPARE(splash->size(), QSize(750, 500));
    // Centred over the frame (the window decorations may shift it a little).
    QVERIFY((splash->geometry().center() - s.frame()->frameGeometry().center()).manhattanLength() <= 8);
    // Ctrl+N during the splash only removes it: no second document.
    const int docs = s.app->DocTemplate()->Documents().size();
    QTest::keyClick(s.frame(), Qt::Key_N, Qt::ControlModifier);
    QVERIFY(!CSplashWnd::Current());
    QCOMPARE(s.app->DocTemplate()->Documents().size(), docs);
    qApp->removeEventFilter(&filter);
}

void TestApp::commandLineOpensFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("anlage.sav");
    writeFile(path, newDocumentBytes());
    Started s({"--nologo", path});
    QVERIFY(s.ok);
    QCOMPARE(s.app->DocTemplate()->Documents().size(), 1);
    QCOMPARE(s.app->DocTemplate()->Documents().first()->GetTitle(), QStringLiteral("anlage.sav"));
}

void TestApp::unreadableCommandLineFileEndsStartUp()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kurz.sav");
    writeFile(path, newDocumentBytes().chopped(1));
    TestSink sink;
    sink.ExpectBoxes(1);
    Started s({"--nologo", path});
    QVERIFY(!s.ok);
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(sink.boxes[0].text.contains("kurz.sav"));
    QVERIFY(s.app->DocTemplate()->Documents().isEmpty());
}

void TestApp::recentListKeepsOneEntry()
{
    QTemporaryDir dir;
    const QByteArray bytes = newDocumentBytes();
    writeFile(dir.filePath("a.sav"), bytes);
    writeFile(dir.filePath("b.sav"), bytes);
    {
        Started s({"--nologo"});
        s.app->OpenDocumentFile(dir.filePath("a.sav"));
        s.app->OpenDocumentFile(dir.filePath("b.sav"));
        QCOMPARE(s.app->RecentFiles(), QStringList{dir.filePath("b.sav")});
        s.frame()->UpdateCmdUI();
        QVERIFY(s.frame()->Action(ID_FILE_MRU_FILE1)->isEnabled());
        // Opening a file that is open already only brings it forward.
        s.app->OpenDocumentFile(dir.filePath("a.sav"));
        QCOMPARE(s.app->DocTemplate()->Documents().size(), 3);
        for (CDocument* d : s.app->DocTemplate()->Documents())
            d->SetModifiedFlag(false);
    }
    Started again({"--nologo"});
    QCOMPARE(again.app->RecentFiles(), QStringList{dir.filePath("b.sav")});
}

void TestApp::recentEntryThatFailsIsRemoved()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("weg.sav");
    writeFile(path, newDocumentBytes());
    Started s({"--nologo"});
    s.app->OpenDocumentFile(path);
    s.app->DocTemplate()->Documents().constLast()->OnCloseDocument();
    QVERIFY(QFile::remove(path));
    QCOMPARE(s.app->RecentFiles(), QStringList{path});

    TestSink sink;
    sink.ExpectBoxes(1);
    s.frame()->Action(ID_FILE_MRU_FILE1)->trigger();
    QCOMPARE(sink.boxes.size(), 1);
    QVERIFY(sink.boxes[0].text.contains("weg.sav"));
    QVERIFY(s.app->RecentFiles().isEmpty());
    QVERIFY(
        !QSettings("Kalvento GmbH", "KORVA_Powermanagement").contains("Recent File List/File1"));
    QVERIFY(!s.frame()->Action(ID_FILE_MRU_FILE1)->isEnabled());
    QCOMPARE(s.frame()->Action(ID_FILE_MRU_FILE1)->text(), QStringLiteral("Letzte Datei"));
}

void TestApp::droppedFileOpens()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("drop.sav"), newDocumentBytes());
    Started s({"--nologo"});
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(dir.filePath("drop.sav"))});
    QVERIFY(s.frame()->acceptDrops());
    s.frame()->OpenDroppedFiles(&mime);
    QCOMPARE(s.app->DocTemplate()->Documents().size(), 2);
    QCOMPARE(s.app->DocTemplate()->Documents().constLast()->GetTitle(), QStringLiteral("drop.sav"));
}

void TestApp::fileTypeIsRegisteredInUserData()
{
    Started s({"--nologo"});
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QFile mime(data + "/mime/packages/korva.xml");
    QVERIFY(mime.open(QIODevice::ReadOnly));
    const QByteArray xml = mime.readAll();
    QVERIFY(xml.contains("*.sav"));
    QVERIFY(xml.contains("KORVA_Powermanagement Document"));
    QVERIFY(QFile::exists(data + "/applications/korva.desktop"));
}

void TestApp::closingWindowAsksAndClosesDocument()
{
    Started s({"--nologo"});
    CDocument* doc = s.app->DocTemplate()->Documents().first();
    doc->SetModifiedFlag(true);
    TestSink sink;
    // "Abbrechen" keeps everything open.
    sink.QueueAnswer(IDCANCEL);
    s.frame()->MDIGetActive()->close();
    QCOMPARE(s.app->DocTemplate()->Documents().size(), 1);
    QVERIFY(s.frame()->MDIGetActive()->isVisible());
    // "Nein" closes document and window without saving.
    sink.QueueAnswer(IDNO);
    s.frame()->MDIGetActive()->close();
    QCOMPARE(sink.boxes.size(), 2);
    QVERIFY(sink.boxes[1].text.contains("KORVA_Powermanagement1"));
    QVERIFY(s.app->DocTemplate()->Documents().isEmpty());
    QTRY_VERIFY(s.frame()->MdiArea()->subWindowList().isEmpty());
    QTRY_COMPARE(s.menuTitles().size(), 3);
}

void TestApp::frameTitleFollowsDocumentAndMaximizedChild()
{
    QTemporaryDir dir;
    Started s({"--nologo"});
    CMainFrame* f = s.frame();
    CDocument* doc = s.app->DocTemplate()->Documents().constFirst();
    // "Speichern" of a new document asks for a name; the frame shows it at once.
    CWinApp::s_saveFileNameHook = [&](const QString&, const QString&) {
        return dir.filePath("halle.sav");
    };
    QVERIFY(doc->DoFileSave());
    QCOMPARE(f->windowTitle(), QStringLiteral("KORVA_Powermanagement - halle.sav"));
    CWinApp::s_saveFileNameHook = [&](const QString&, const QString&) {
        return dir.filePath("werk2.sav");
    };
    QVERIFY(doc->DoSave(QString()));
    CWinApp::s_saveFileNameHook = nullptr;
    QCOMPARE(f->windowTitle(), QStringLiteral("KORVA_Powermanagement - werk2.sav"));

    // Maximized, the name stands once, in the child's brackets.
    CMDIChildWnd* child = f->MDIGetActive();
    child->showMaximized();
    QCOMPARE(f->windowTitle(), QStringLiteral("KORVA_Powermanagement - [werk2.sav]"));
    doc->SetTitle(QStringLiteral("werk3.sav"));
    QCOMPARE(f->windowTitle(), QStringLiteral("KORVA_Powermanagement - [werk3.sav]"));
    child->showNormal();
    QCOMPARE(f->windowTitle(), QStringLiteral("KORVA_Powermanagement - werk3.sav"));
}

void TestApp::messageBoxRemovesSplash()
{
    CSplashFilter filter;
    qApp->installEventFilter(&filter);
    Started s({});
    QVERIFY(CSplashWnd::Current());
    // A box that opens during the splash comes first; its first Enter is its own.
    QMessageBox box(QMessageBox::Warning, QStringLiteral("KORVA_Powermanagement"),
                    QStringLiteral("Fehler"), QMessageBox::Ok, s.frame());
    box.show();
    QVERIFY(!CSplashWnd::Current());
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.result(), int(QMessageBox::Ok));
    qApp->removeEventFilter(&filter);
}

// The lock's box says why; the status bar says which of sixteen channels.
void TestApp::refusedSwitchOnNamesTheChannel()
{
    TestSink sink;
    Started s({"--nologo"});
    auto* v = dynamic_cast<CVelkorView*>(s.frame()->MDIGetActive()->widget());
    QVERIFY(v);
    v->m_dAbschaltstrom[1] = 3.0; // the test source's 4 A stays above it
    v->m_channel[1].m_dStrom = 4.6;
    v->OnTimer(CVelkorView::kMessTimer);
    QCOMPARE(v->m_channel[1].m_bAbgeschaltet, 1);
    sink.QueueAnswer(IDOK);
    v->OnCmdMsg(kChannelIds[1].imageOff);
    QCOMPARE(sink.boxes.size(), 1);
    QCOMPARE(s.frame()->statusBar()->currentMessage(),
             QStringLiteral("Einschalten gesperrt: Kanal 2 „%1“ – Kurzschluss erst beheben")
                 .arg(v->m_strName[1]));
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
