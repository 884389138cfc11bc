#pragma once
// What the record window writes of the record shown, each where the technician chooses: the
// certificate (a PDF, signed once written, or printed), the readings as CSV, and the record itself
// as JSON (for when the store cannot take it).

#include "RecordLife.h"

#include <QPageSize>
#include <functional>

class QWidget;

class RecordDocuments
{
public:
    // What signs a certificate PDF once written: "" where it did (or needs not), else why not.
    using CertificateSigner = std::function<QString(const records::Record &record, const QString &path)>;

    RecordDocuments(QWidget &owner, records::Visit &visit, records::RecordLife &life) : m_owner(owner), m_visit(visit), m_life(life) {}
    void setPaper(QPageSize::PageSizeId paper) { m_paper = paper; }
    void setCertificateSigner(CertificateSigner signer) { m_sign = std::move(signer); }

    void writeCertificate();
    void printCertificate();
    void writeCsv();
    void exportJson();

private:
    QString chosenPath(const QString &caption, const QString &name, const QString &filter);
    void complain(const QString &why);

    QWidget &m_owner;
    records::Visit &m_visit;
    records::RecordLife &m_life;
    QPageSize::PageSizeId m_paper = QPageSize::A4;
    CertificateSigner m_sign;
};
