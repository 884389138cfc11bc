#include "WindowPlacement.h"

#include <QtGlobal>

namespace {
constexpr int kGap = 8;

QRect fitted(QRect r, const QRect &available)
{
    r.setWidth(qMin(r.width(), available.width()));
    r.setHeight(qMin(r.height(), available.height()));
    r.moveLeft(qBound(available.left(), r.left(), available.right() - r.width() + 1));
    r.moveTop(qBound(available.top(), r.top(), available.bottom() - r.height() + 1));
    return r;
}
} // namespace

QRect placeBeside(const QRect &main, const QSize &size, const QRect &available)
{
    QRect r(QPoint(main.right() + 1 + kGap, main.top()), size);
    if (r.right() > available.right())
        r.moveRight(main.left() - 1 - kGap);
    if (r.left() < available.left())
        r.moveRight(available.right());
    return fitted(r, available);
}

QRect keptInside(const QRect &kept, const QRect &available)
{
    const QRect seen = kept.intersected(available);
    if (kept.isEmpty() || seen.width() < 100 || seen.height() < 50)
        return {};
    return fitted(kept, available);
}
