#include "framework/Messages.h"

#include "framework/FrameworkIds.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace {

class DefaultSink : public IMessageSink
{
public:
    int MessageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned type) override
    {
        // On the heap and guarded: should the owner go while the box is
        // open, it takes the box with it and nothing is freed twice.
        QPointer<QMessageBox> guard = new QMessageBox(DialogOwner(parent));
        QMessageBox& box = *guard;
        box.setWindowTitle(caption);
        box.setText(text);
        switch (type & MB_ICONMASK) {
        case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
        case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
        case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: break;
        }
        switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        default: box.setStandardButtons(QMessageBox::Ok); break;
        }
        const int answer = box.exec();
        delete guard.data();
        switch (answer) {
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        case QMessageBox::Cancel: return IDCANCEL;
        default: return (type & MB_TYPEMASK) == MB_YESNOCANCEL ? IDCANCEL : IDOK;
        }
    }
    void MessageBeep(unsigned) override { QApplication::beep(); }
};

DefaultSink g_default;
IMessageSink* g_sink = &g_default;
QString g_title = QStringLiteral("KORVA_Powermanagement");

} // namespace

IMessageSink& MessageSink() { return *g_sink; }

IMessageSink* SetMessageSink(IMessageSink* sink)
{
    IMessageSink* old = g_sink == &g_default ? nullptr : g_sink;
    g_sink = sink ? sink : &g_default;
    return old;
}

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned type)
{
    return g_sink->MessageBox(parent, text, caption, type);
}

int AfxMessageBox(const QString& text, unsigned type, QWidget* parent)
{
    return g_sink->MessageBox(parent, text, g_title, type);
}

void MessageBeep(unsigned type) { g_sink->MessageBeep(type); }

QWidget* DialogOwner(QWidget* requested)
{
    QWidget* owner = requested ? requested->window() : QApplication::activeWindow();
    while (owner && owner->windowType() == Qt::SplashScreen)
        owner = owner->parentWidget() ? owner->parentWidget()->window() : nullptr;
    return owner;
}

QString AppTitle() { return g_title; }
void SetAppTitle(const QString& title) { g_title = title; }
