#pragma once
// A progress bar painted by us: range 0 ... 100 by default, clamped position,
// bar colour as a COLORREF (0x00BBGGRR). Repaints only what changed.

#include <QColor>
#include <QWidget>

using COLORREF = quint32;
constexpr COLORREF CLR_DEFAULT = 0xFF000000u;
constexpr unsigned PBM_SETBARCOLOR = 0x0409;
constexpr unsigned PBM_SETPOS = 0x0402;

constexpr COLORREF RGB(int r, int g, int b)
{
    return COLORREF(r & 0xFF) | COLORREF(g & 0xFF) << 8 | COLORREF(b & 0xFF) << 16;
}
QColor ColorFromRef(COLORREF c);

class CProgressCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit CProgressCtrl(QWidget* parent = nullptr, bool vertical = true);

    int SetPos(int nPos);  // returns the previous position
    int GetPos() const { return m_pos; }
    void SetRange(int lower, int upper);
    void GetRange(int& lower, int& upper) const;
    COLORREF SetBarColor(COLORREF color);  // returns the previous colour
    COLORREF GetBarColor() const { return m_color; }
    // PBM_SETBARCOLOR and PBM_SETPOS as messages.
    qintptr SendMessage(unsigned msg, quintptr wParam, qintptr lParam);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_lower = 0, m_upper = 100, m_pos = 0;
    COLORREF m_color = CLR_DEFAULT;
    bool m_vertical;
};
