#pragma once
// File-type registration the freedesktop way: a desktop entry and a MIME type
// for ".sav" in the user's data directory, for a program run from a build.
// An installed package brings its own in the system's data directories; then
// nothing is written and an entry this program wrote earlier is taken away,
// since it would hide the installed one.

#include <QString>

struct FileTypeRegistration
{
    bool bOk = true;           // false when a file could not be written or removed
    bool bMimeChanged = false; // the MIME database needs an update
};

// The work on the files, for the program at exe.
FileTypeRegistration RegisterFileTypes(const QString& exe);
// For the running program; updates the MIME database when needed.
bool RegisterShellFileTypes();
QString MimeTypeName();
