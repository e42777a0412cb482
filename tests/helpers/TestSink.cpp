#include "helpers/TestSink.h"

#include <QTest>

TestSink::TestSink() : m_previous(SetMessageSink(this)) {}

TestSink::~TestSink() { SetMessageSink(m_previous); }

void TestSink::ExpectBoxes(int count, int answer)
{
    for (int i = 0; i < count; ++i)
        answers.append(answer);
}

void TestSink::QueueAnswer(int answer) { answers.append(answer); }

int TestSink::MessageBox(QWidget*, const QString& text, const QString& caption, unsigned type)
{
    boxes.append({text, caption, type});
    if (answers.isEmpty()) {
        ++unexpected;
        if (failOnUnexpected)
            QTest::qFail(qPrintable(QStringLiteral("unexpected message box: %1").arg(text)), __FILE__, __LINE__);
        return 2;  // cancel what nobody expected
    }
    return answers.takeFirst();
}

void TestSink::MessageBeep(unsigned type) { beeps.append(type); }
