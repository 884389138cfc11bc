// Where the record window goes on the screens, and where the keyboard goes in it.
#include "RecordWindow.h"

#include "WindowPlacement.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

void RecordWindow::showBeside(QWidget *console, const QRect &keep)
{
    if (!m_placed && console) {
        m_placed = true;
        QScreen *home = console->screen() ? console->screen() : screen();
        QList<QRect> areas{home->availableGeometry()};
        for (QScreen *other : QGuiApplication::screens())
            if (other != home)
                areas << other->availableGeometry();
        // The frame around the client area, as the console's shows it (none before it shows).
        const QRect outer = console->frameGeometry(), inner = console->geometry();
        const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                             outer.bottom() - inner.bottom());
        QRect place;
        if (!m_kept.isEmpty()) {
            const QScreen *at = QGuiApplication::screenAt(m_kept.center());
            place = keptInside(m_kept, at ? at->availableGeometry() : areas.first());
        }
        if (place.isEmpty()) {
            const Arrangement a = arrangeBeside(outer, keep, sizeHint().grownBy(frame), minimumSizeHint().grownBy(frame), areas);
            if (a.console.topLeft() != outer.topLeft())
                console->move(a.console.topLeft());
            place = a.record;
        }
        resize(place.marginsRemoved(frame).size().expandedTo(minimumSizeHint()));
        move(place.topLeft());
    }
    showAndRaise();
}

QRect RecordWindow::keptGeometry() const
{
    return m_placed ? frameGeometry() : m_kept;
}

namespace {
// The first field of `page` the keyboard can reach.
QWidget *firstField(QWidget *page)
{
    for (QWidget *w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && w->isVisibleTo(page) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            return w;
    return nullptr;
}
} // namespace

bool RecordWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tabs->tabBar() && event->type() == QEvent::Shortcut) {
        QMetaObject::invokeMethod(this, [this] { // after the tab bar has shown the tab
            if (QWidget *field = firstField(tabs->currentWidget()))
                field->setFocus(Qt::ShortcutFocusReason);
        }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void RecordWindow::switchTestsAndDetails()
{
    if (QWidget *focus = focusWidget(); focus && tests->isAncestorOf(focus)) {
        tabs->setCurrentWidget(visitForm);
        QWidget *details = visitForm->technician->isEnabled() ? visitForm->technician : firstField(visitForm);
        if (details)
            details->setFocus(Qt::ShortcutFocusReason);
    } else {
        focusTests();
    }
}

void RecordWindow::focusTests()
{
    // The points where one waits (Enter captures it); else the test chooser, so that the points'
    // focus does not make a row current that nothing chose.
    QWidget *to = tests->points->selectionModel()->hasSelection() ? static_cast<QWidget *>(tests->points) : tests->test;
    to->setFocus(Qt::ShortcutFocusReason);
}

