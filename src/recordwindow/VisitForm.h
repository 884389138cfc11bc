#pragma once
// The visit as the record holds it: the MPE limits and the decision rule, the reference weights
// (fixed from the first reading on), who made it, where, and the temperature at its start and end;
// the actions that begin and end a record early.

#include "Record.h"
#include "Visit.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;

class VisitForm : public QWidget
{
    Q_OBJECT
public:
    explicit VisitForm(QWidget *parent = nullptr);

    void fill(const records::Record &record);
    // Limits, rule and weights may change while no reading was taken; the rest (who issued the
    // weights' certificate too) while the record is open.
    void setEditable(bool beforeReadings, bool open);

    bool inService() const;
    records::Acceptance acceptance() const;
    records::ReferenceWeights weights() const;
    // Who, where and the temperatures; nullopt with *wrong naming a temperature that is not a number.
    std::optional<records::Visit::Details> details(QString *wrong) const;

    QComboBox *limits;     // initial verification or in service
    QComboBox *decisionRule;
    QLineEdit *weightSet;
    QComboBox *weightClass; // OIML R 111
    QLineEdit *weightCertificate;
    QLineEdit *weightIssuer; // who issued that certificate: the traceability statement names it
    QLineEdit *technician;
    QLineEdit *place;
    QLineEdit *temperatureStart; // degrees Celsius
    QLineEdit *temperatureEnd;
    QPushButton *newRecord;
    QPushButton *discard;

signals:
    void limitsChosen();   // limits or decision rule
    void weightsEdited();
    void detailsEdited();  // technician, place or a temperature
};
