#pragma once
// Message boxes and beeps go through a replaceable sink so that tests can see
// them without blocking, and model code never opens a window itself.

#include <QString>

class QWidget;

constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_OKCANCEL = 0x01;
constexpr unsigned MB_YESNOCANCEL = 0x03;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONHAND = 0x10;
constexpr unsigned MB_ICONERROR = MB_ICONHAND;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TYPEMASK = 0x0F;
constexpr unsigned MB_ICONMASK = 0xF0;

class IMessageSink
{
public:
    virtual ~IMessageSink() = default;
    // Returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(QWidget* parent, const QString& text, const QString& caption,
                           unsigned type) = 0;
    virtual void MessageBeep(unsigned type) = 0;
};

// The sink in use; the default shows real QMessageBoxes and beeps.
IMessageSink& MessageSink();
// Installs a sink (nullptr restores the default); returns the previous one.
IMessageSink* SetMessageSink(IMessageSink* sink);

int AfxMessageBox(const QString& text, unsigned type = MB_OK | MB_ICONEXCLAMATION,
                  QWidget* parent = nullptr);
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned type);
void MessageBeep(unsigned type);

// The window a message box or dialog opened now belongs to: the requested one
// or the active window, but never a splash screen, which deletes itself (and
// with it its children) while a box may still be open.
QWidget* DialogOwner(QWidget* requested = nullptr);

// The application's title, used as the caption of framework messages.
QString AppTitle();
void SetAppTitle(const QString& title);
