#pragma once

// Helpers shared by the hw_ tests.

#include "hw/I2CBus.h"

#include <QStringList>
#include <QtTest>
#include <string>
#include <vector>

inline QStringList Lines(const std::vector<std::string>& trace)
{
    QStringList lines;
    for (const std::string& line : trace)
        lines << QString::fromStdString(line);
    return lines;
}

// Runs f, which must throw CERR with the given number and detail.
template <typename F> void ExpectCerr(F f, int number, int detail = 0)
{
    try {
        f();
    } catch (const CERR& error) {
        QCOMPARE(error.GetNumber(), number);
        QCOMPARE(error.GetDetail(), detail);
        return;
    }
    QFAIL("no CERR thrown");
}
