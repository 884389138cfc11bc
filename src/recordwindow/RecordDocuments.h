#pragma once
// What the record window writes of the record shown, each where the technician chooses: the
// certificate (a PDF, finished once written: its DCC attached and both signed, or printed), the
// DCC alone, the label for the scale (a PDF, or printed on the label printer), the readings as CSV, and the record itself as JSON (for
// when the store cannot take it).

#include "Label.h"
#include "RecordLife.h"

#include <QPageSize>
#include <functional>

class QWidget;

class RecordDocuments
{
public:
    // What finishes a certificate PDF once written (its DCC attached, both signed): "" where all
    // was done, else a note for the technician.
    using CertificateSigner = std::function<QString(const records::Record &record, const QString &path, const QDate &nextDue)>;
    // What writes the DCC (signed where it can): false with *error; *note where it is not signed.
    using DccWriter = std::function<bool(const records::Record &record, const QString &path, const QDate &nextDue, QString *error,
                                         QString *note)>;

    RecordDocuments(QWidget &owner, records::Visit &visit, records::RecordLife &life) : m_owner(owner), m_visit(visit), m_life(life) {}
    void setPaper(QPageSize::PageSizeId paper) { m_paper = paper; }
    void setCertificateSigner(CertificateSigner signer) { m_sign = std::move(signer); }
    void setDccWriter(DccWriter writer) { m_dcc = std::move(writer); }
    void setLabelSize(records::LabelSize size) { m_labelSize = size; }

    void writeCertificate();
    void printCertificate();
    void writeDcc();
    void writeLabel();
    void printLabel();
    void writeCsv();
    void exportJson();

private:
    QString chosenPath(const QString &caption, const QString &name, const QString &filter);
    void complain(const QString &why);
    // The record shown where it may be certified (closed, not discarded, intact), else null.
    const records::Record *certifiable() const;

    QWidget &m_owner;
    records::Visit &m_visit;
    records::RecordLife &m_life;
    QPageSize::PageSizeId m_paper = QPageSize::A4;
    CertificateSigner m_sign;
    DccWriter m_dcc;
    records::LabelSize m_labelSize = records::LabelSize::Tape62;
};
