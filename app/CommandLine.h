#pragma once
// The program's command line, checked before any window or display exists:
// --help and --version answer and end, an unknown option or a bad
// --sim-script file ends with status 2.
// What passes is handed on in one spelling (--nologo, --web ADDR:PORT, ...),
// so the code that reads single options later sees no variants.

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
};

KorvaCommandLine ParseKorvaCommandLine(const QStringList& argv);
// The German usage text of --help.
QString KorvaUsageText();
// Reads the file of --sim-script; false with one German line in error that
// names the file ("kurz.txt: Zeile 3: ...").
bool LoadSimScriptFile(const QString& fileName, CSimScript& script, QString& error);
