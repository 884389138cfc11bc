#include "Controls.h"

#include <QPainter>

namespace platform {

void placeTw(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(tw(left), tw(top), tw(width), tw(height));
}

void installFontSubstitutions()
{
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    // fontconfig would take the much wider DejaVu Sans for this one.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

QFont vbFont(const QString &family, double points, bool bold)
{
    QFont f(family);
    f.setPixelSize(qRound(points * 96.0 / 72.0));
    f.setBold(bold);
    f.setStyleHint(family.contains(QLatin1String("Times")) ? QFont::Serif : QFont::SansSerif);
    return f;
}

QColor foreColor(const QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

void setForeColor(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

void setBackColor(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(w->backgroundRole(), c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

Shape::Shape(Kind kind, QWidget *parent) : QWidget(parent), m_kind(kind)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::setFillColor(const QColor &c)
{
    if (c == m_fill)
        return;
    m_fill = c;
    update();
}

void Shape::setBorderColor(const QColor &c)
{
    m_border = c;
    update();
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, m_kind == Circle);
    painter.setBrush(m_fill);
    painter.setPen(m_border.isValid() ? m_border : m_fill);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_kind == Circle)
        painter.drawEllipse(r);
    else
        painter.drawRect(r);
}

} // namespace platform

#include <QLineEdit>
#include <QValidator>

namespace platform {
namespace {
// Acts as a text box with a maximum length does on what the user types, pastes or drops: an edit
// that would make the text longer than the limit inserts only the part that fits (nothing while
// the text is at or over it). Text the program sets is never cut, so a box can show more than
// can be typed ("10.5000" in the 6-character gravity box). Edits are told from the program's
// texts by the undo history, which every edit adds to and setText() clears.
class TypedLengthValidator : public QValidator
{
public:
    TypedLengthValidator(QLineEdit *box, int length) : QValidator(box), m_box(box), m_length(length)
    {
        m_before = box->text();
        connect(box, &QLineEdit::textChanged, this, [this](const QString &text) { m_before = text; });
    }

    State validate(QString &input, int &pos) const override
    {
        const qsizetype grown = input.size() - m_before.size();
        if (input.size() <= m_length || grown <= 0 || !m_box->isUndoAvailable())
            return Acceptable;
        // The edit ends at the cursor: what follows it is the old text's end, what precedes the
        // inserted part is the old text's start.
        const qsizetype suffix = qMin<qsizetype>(input.size() - pos, m_before.size());
        qsizetype prefix = 0;
        while (prefix < m_before.size() - suffix && prefix < pos && m_before[prefix] == input[prefix])
            ++prefix;
        const qsizetype room = qMax<qsizetype>(0, m_length - (prefix + suffix)); // beside what is kept
        const QString inserted = input.mid(prefix, pos - prefix).left(room);
        input = m_before.left(prefix) + inserted + m_before.right(suffix);
        pos = int(prefix + inserted.size());
        return Acceptable;
    }

private:
    QLineEdit *m_box;
    int m_length;
    QString m_before; // the box's text before the edit being validated
};
} // namespace

void setMaxTypedLength(QLineEdit *box, int length)
{
    box->setValidator(new TypedLengthValidator(box, length));
}

} // namespace platform
