#pragma once
// The program's command line, checked before any window or display exists:
// --help and --version answer and end, an unknown option or a bad
// --sim-script file ends with status 2.
// What passes is the one parse every part of the program reads: the options
// as values, and the arguments in one spelling for the framework's own
// command-line reading (--nologo, the file names).

#include "hw/SimScript.h"

#include <QString>
#include <QStringList>

struct KorvaCommandLine
{
    // >= 0: end the program with this status (help, version, error).
    int nExitCode = -1;
    // What to print before ending: usage or version (standard output), the
    // error line (standard error).
    QString strMessage;
    // The arguments in their one spelling, program name first.
    QStringList args;
    bool bPrint = false;
    QString strPrintTo; // PDF file of --print-to
    QString strFile;    // the first file argument
    bool bHeadless = false;
    bool bSimulate = false; // also when a script is given
    bool bSetWebPassword = false;
    int nSaveIntervalS = 0; // --save-interval; 0: not given
    QString strWeb;         // --web ADDRESS:PORT, checked; empty: not given
    CSimScript simScript;   // --sim-script, read and checked
};

KorvaCommandLine ParseKorvaCommandLine(const QStringList& argv);
// The German usage text of --help.
QString KorvaUsageText();
// Reads the file of --sim-script; false with one German line in error that
// names the file ("kurz.txt: Zeile 3: ...").
bool LoadSimScriptFile(const QString& fileName, CSimScript& script, QString& error);
