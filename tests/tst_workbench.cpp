// The console and the record window together on a technician's screen, run once for each screen
// the test command gives (1280x1024, 1366x768, 1024x768, a laptop beside a monitor): both wholly
// on a screen, the console's calibration, unit and mode buttons never under the record window,
// side by side where the screen is wide enough, and the record window's text whole at its width.
#include "ConsoleApp.h"
#include "MsgBox.h"
#include "Pty.h"
#include "RecordWindow.h"
#include "SqliteStore.h"
#include "TestsPanel.h"
#include "frmMain.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using testsupport::ProgramFolder;

class tst_Workbench : public QObject
{
    Q_OBJECT

private slots:
    void arranged()
    {
        ProgramFolder dir;
        ConsoleApp app({records::SqliteStore::defaultPath(dir.path()), std::nullopt, {}});
        app.start();
        frmMain &console = app.mainWindow();
        console.setHeightTwips(frmMain::kPanelHeightTwips); // as when the data panel shows
        QVERIFY(QTest::qWaitForWindowExposed(&console));
        const QRect before = console.frameGeometry();
        emit console.recordWindowRequested();
        RecordWindow &record = *app.recordWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&record));
        const QRect r = record.frameGeometry(), c = console.frameGeometry();
        const QString where = QStringLiteral("console %1,%2 %3x%4, record %5,%6 %7x%8")
                                  .arg(c.x()).arg(c.y()).arg(c.width()).arg(c.height())
                                  .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        qInfo("%s", qPrintable(where));

        const QList<QScreen *> screens = QGuiApplication::screens();
        const auto onAScreen = [&](const QRect &frame) {
            return std::any_of(screens.begin(), screens.end(), [&](QScreen *s) { return s->availableGeometry().contains(frame); });
        };
        QVERIFY2(onAScreen(c) && onAScreen(r), qPrintable(where));
        for (QPushButton *b : {console.cmd0kg, console.cmd50Kg, console.cmd100kg, console.cmd10gUp, console.cmd10gDn, console.cmdZero,
                               console.cmd100gUp, console.cmd100gDn, console.cmdKgLb, console.cmdAuto, console.cmdAdmin, console.cmdClose})
            QVERIFY2(!r.intersects(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())), qPrintable(b->objectName() + ": " + where));
        const QRect area = console.screen()->availableGeometry();
        if (screens.size() > 1) {
            QVERIFY2(record.screen() != console.screen() && c == before, qPrintable(where));
        } else if (area.width() >= 1280) {
            QVERIFY2(!r.intersects(c) && c.left() == area.left() && r.right() >= area.right() - 1, qPrintable(where));
        }

        if (const QByteArray out = qgetenv("VANTOR_SHOT"); !out.isEmpty()) // both windows as a person sees them
            console.screen()->grabWindow(0).save(QString::fromLocal8Bit(out));

        // At the width it was given and at its smallest, every text shows whole and nothing scrolls
        // sideways.
        for (const QSize size : {record.size(), record.minimumSize()}) {
            record.resize(size);
            for (int tab = 0; tab < record.tabs->count(); ++tab) {
                record.tabs->setCurrentIndex(tab);
                QTest::qWait(0);
                const QString at = QStringLiteral(" at %1x%2").arg(record.width()).arg(record.height());
                for (QLabel *label : record.findChildren<QLabel *>())
                    if (label->isVisible() && !label->wordWrap() && !label->text().isEmpty())
                        QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(label->text() + at));
                for (QAbstractButton *b : record.findChildren<QAbstractButton *>()) {
                    const QString text = QString(b->text()).remove(QLatin1Char('&'));
                    if (b->isVisible() && !text.isEmpty())
                        QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(text) + 8, qPrintable(text + at));
                }
                for (QComboBox *box : record.findChildren<QComboBox *>())
                    if (box->isVisible())
                        QVERIFY2(box->width() >= box->fontMetrics().horizontalAdvance(box->currentText()) + 24, qPrintable(box->currentText() + at));
                QVERIFY(!record.tests->points->horizontalScrollBar()->isVisible());
                if (const QByteArray out = qgetenv("VANTOR_SHOT"); !out.isEmpty())
                    record.grab().save(QString::fromLocal8Bit(out).replace(QLatin1String(".png"), QStringLiteral("-%1-tab%2.png").arg(record.width()).arg(tab)));
            }
        }
    }
};

QTEST_MAIN(tst_Workbench)
#include "tst_workbench.moc"
