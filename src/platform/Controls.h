#pragma once
// Window toolkit pieces the console's windows are built from: twip geometry, the fonts and
// colours of the original design, and the filled shape control.
//
// Geometry: 15 twips are one pixel (96 dots per inch). Font sizes in points are turned into pixel
// sizes at 96 dpi as well, so text keeps its size relative to the controls whatever the screen's
// logical dpi. Arial, Times New Roman and MS Sans Serif fall back to the metric-compatible
// Liberation faces where they are not installed.

#include <QColor>
#include <QFont>
#include <QWidget>

class QLabel;

namespace platform {

constexpr int kTwipsPerPixel = 15;
inline int tw(int twips) { return qRound(twips / double(kTwipsPerPixel)); }

// Places a control at Left, Top, Width, Height given in twips relative to its parent.
void placeTw(QWidget *w, int left, int top, int width, int height);

inline QColor RGB(int r, int g, int b) { return QColor(r, g, b); }

// Registers the font fall-backs; call once after the application object exists.
void installFontSubstitutions();
QFont vbFont(const QString &family, double points, bool bold);

QColor foreColor(const QWidget *w);
void setForeColor(QWidget *w, const QColor &c);
void setBackColor(QWidget *w, const QColor &c);

// A filled rectangle or circle; fill and border share one colour unless a border is set.
class Shape : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ FillColor WRITE setFillColor)
public:
    enum Kind { Rectangle, Circle };
    explicit Shape(Kind kind, QWidget *parent = nullptr);

    QColor FillColor() const { return m_fill; }
    void setFillColor(const QColor &c);
    void setBorderColor(const QColor &c);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    Kind m_kind;
    QColor m_fill = Qt::white;
    QColor m_border; // invalid: same as the fill
};

} // namespace platform

class QLineEdit;
namespace platform {
// The most characters the user can type or paste into a text box: an edit inserts only the part
// that fits. Unlike QLineEdit::maxLength it does not cut text the program puts there (the gravity
// box shows "10.5000" in a 6-character box), and typing there adds nothing while it is that long.
void setMaxTypedLength(QLineEdit *box, int length);
} // namespace platform
