#pragma once
// File-type registration the freedesktop way: a desktop entry and a MIME type
// for ".sav" in the user's data directory, written when missing.

#include <QString>

// Returns false when a file could not be written (nothing else depends on it).
bool RegisterShellFileTypes();
QString MimeTypeName();
