#include "RecordDocuments.h"

#include "Certificate.h"
#include "Dcc.h"
#include "FileDialog.h"
#include "MsgBox.h"
#include "PrintDialog.h"

#include <QPrinter>
#include <QWidget>

using namespace records;

QString RecordDocuments::chosenPath(const QString &caption, const QString &name, const QString &filter)
{
    return platform::saveFileName(&m_owner, caption, name.arg(recordNumber(*m_visit.record())), filter);
}

const Record *RecordDocuments::certifiable() const
{
    const std::optional<Record> &r = m_visit.record();
    return r && r->closed() && !r->discarded() && m_visit.intact() ? &*r : nullptr;
}

void RecordDocuments::complain(const QString &why)
{
    platform::MsgBox(why, platform::vbOKOnly | platform::vbExclamation, m_owner.windowTitle());
}

void RecordDocuments::writeCertificate()
{
    const Record *r = certifiable();
    if (!r)
        return;
    const QString path = chosenPath(QStringLiteral("Certificate"), QStringLiteral("certificate-%1.pdf"), QStringLiteral("PDF (*.pdf)"));
    QString error;
    if (path.isEmpty())
        return;
    if (!records::writeCertificate(*r, path, &error, m_paper, m_life.nextDue(*r)))
        return complain(error);
    if (m_sign)
        if (const QString why = m_sign(*r, path, m_life.nextDue(*r)); !why.isEmpty())
            complain(why);
}

void RecordDocuments::writeDcc()
{
    const Record *r = certifiable();
    if (!r || !m_dcc)
        return;
    const QString path = chosenPath(QStringLiteral("Digital Calibration Certificate"), QStringLiteral("dcc-%1.xml"),
                                    QStringLiteral("DCC (*.xml)"));
    QString error, note;
    if (path.isEmpty())
        return;
    if (!m_dcc(*r, path, m_life.nextDue(*r), &error, &note))
        return complain(error);
    if (!note.isEmpty())
        complain(note);
}

void RecordDocuments::writeLabel()
{
    const Record *r = certifiable();
    if (!r)
        return;
    const QString path = chosenPath(QStringLiteral("Label for the scale"), QStringLiteral("label-%1.pdf"), QStringLiteral("PDF (*.pdf)"));
    QString error;
    if (!path.isEmpty() && !records::writeLabel(*r, path, m_labelSize, m_life.nextDue(*r), &error))
        complain(error);
}

void RecordDocuments::printLabel()
{
    const Record *r = certifiable();
    if (!r)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(labelSizeMm(m_labelSize), QPageSize::Millimeter, QStringLiteral("Label")),
                                      QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("Calibration label %1").arg(recordNumber(*r)));
    if (!choosePrinter(printer, &m_owner))
        return;
    QString error;
    if (!records::printLabel(*r, printer, m_life.nextDue(*r), &error))
        complain(error);
}

void RecordDocuments::printCertificate()
{
    const Record *r = certifiable();
    if (!r)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(m_paper));
    printer.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    printer.setDocName(QStringLiteral("Calibration certificate %1").arg(recordNumber(*r)));
    if (!choosePrinter(printer, &m_owner))
        return;
    QString error;
    if (!records::printCertificate(*r, printer, &error, m_life.nextDue(*r)))
        complain(error);
}

void RecordDocuments::writeCsv()
{
    const std::optional<Record> &r = m_visit.record();
    if (!r || !m_visit.intact())
        return;
    const QString path = chosenPath(QStringLiteral("Readings as CSV"), QStringLiteral("readings-%1.csv"), QStringLiteral("CSV (*.csv)"));
    QString error;
    if (!path.isEmpty() && !writeReadingsCsv(*r, path, &error))
        complain(error);
}

void RecordDocuments::exportJson()
{
    if (!m_visit.record())
        return;
    const QString path = chosenPath(QStringLiteral("Export the record"), QStringLiteral("record-%1.json"), QStringLiteral("Record (*.json)"));
    QString error;
    if (!path.isEmpty() && !m_visit.exportJson(path, &error))
        complain(error);
}
