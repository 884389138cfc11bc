#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

Arrangement arrangeBeside(const QRect &console, const QRect &keep, const QSize &preferred, const QSize &least,
                          const QList<QRect> &areas)
{
    if (areas.isEmpty())
        return {console, QRect(QPoint(), preferred.expandedTo(least))};
    const QSize wanted = preferred.expandedTo(least);
    if (areas.size() > 1) {
        QRect r(QPoint(), wanted);
        r.moveCenter(areas.at(1).center());
        return {console, fitted(r, areas.at(1))};
    }
    const QRect area = areas.first();
    QRect c = fitted(console, area);
    if (area.width() >= c.width() + kGap + least.width()) {
        c.moveLeft(area.left());
        const int left = c.right() + 1 + kGap;
        const int width = qMin(area.right() + 1 - left, wanted.width() * 3 / 2);
        return {c, QRect(left, area.top(), width, qMin(wanted.height(), area.height()))};
    }
    c.moveBottomLeft(area.bottomLeft());
    const QRect k = keep.isEmpty() ? c : keep.translated(c.topLeft() - console.topLeft());
    const QRect above(area.topLeft(), QSize(qMin(wanted.width(), area.width()), qMin(wanted.height(), k.top() - kGap - area.top())));
    if (above.height() >= least.height())
        return {c, above};
    return {c, fitted(QRect(QPoint(area.right() + 1 - wanted.width(), area.top()), wanted), area)};
}

QRect keptInside(const QRect &kept, const QRect &available)
{
    const QRect seen = kept.intersected(available);
    if (kept.isEmpty() || seen.width() < 100 || seen.height() < 50)
        return {};
    return fitted(kept, available);
}

QRect openingPlace(QWidget *window, QWidget *console, const QRect &keep, const QRect &kept, QMargins *frame)
{
    // The frame around the client area, as the console's shows it (none before it shows).
    const QRect outer = console->frameGeometry(), inner = console->geometry();
    *frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                      outer.bottom() - inner.bottom());
    QScreen *home = console->screen() ? console->screen() : window->screen();
    QList<QRect> areas{home->availableGeometry()};
    for (QScreen *other : QGuiApplication::screens())
        if (other != home)
            areas << other->availableGeometry();
    if (!kept.isEmpty()) {
        const QScreen *at = QGuiApplication::screenAt(kept.center());
        if (const QRect place = keptInside(kept, at ? at->availableGeometry() : areas.first()); !place.isEmpty())
            return place;
    }
    const Arrangement a = arrangeBeside(outer, keep, window->sizeHint().grownBy(*frame), window->minimumSizeHint().grownBy(*frame), areas);
    if (a.console.topLeft() != outer.topLeft())
        console->move(a.console.topLeft());
    return a.record;
}
