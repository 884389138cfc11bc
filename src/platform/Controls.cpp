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
class TypedLengthValidator : public QValidator
{
public:
    TypedLengthValidator(int length, QObject *parent) : QValidator(parent), m_length(length) {}
    State validate(QString &input, int &) const override
    {
        return input.size() <= m_length ? Acceptable : Invalid;
    }
    int m_length;
};
} // namespace

void setMaxTypedLength(QLineEdit *box, int length)
{
    box->setValidator(new TypedLengthValidator(length, box));
}

int maxTypedLength(const QLineEdit *box)
{
    const auto *v = dynamic_cast<const TypedLengthValidator *>(box->validator());
    return v ? v->m_length : 0;
}
} // namespace platform
