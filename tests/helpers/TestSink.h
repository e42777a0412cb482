#pragma once
// Records message boxes and beeps instead of showing them. A message box that
// the test did not expect (no answer queued) fails the running test.

#include "framework/Messages.h"

#include <QList>
#include <QString>

struct ShownMessage
{
    QString text;
    QString caption;
    unsigned type;
};

class TestSink : public IMessageSink
{
public:
    TestSink();   // installs itself
    ~TestSink() override;  // restores the previous sink

    // Answers for the next message boxes, in order (IDOK, IDYES, ...).
    void ExpectBoxes(int count, int answer = 1);
    void QueueAnswer(int answer);

    int MessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned type) override;
    void MessageBeep(unsigned type) override;

    QList<ShownMessage> boxes;
    QList<unsigned> beeps;
    QList<int> answers;
    bool failOnUnexpected = true;
    int unexpected = 0;

private:
    IMessageSink* m_previous;
};
