#pragma once
// The instrument as the technician describes it once per scale: the Index No. of the login, maker
// and model, location, accuracy class, unit, Max, Min, e, d and the number of supports.

#include "Instrument.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class InstrumentForm : public QWidget
{
    Q_OBJECT
public:
    explicit InstrumentForm(QWidget *parent = nullptr);

    void showIndexNo(const QString &indexNo); // "" before the login
    void fill(const records::Instrument &instrument);
    // The description in the fields; nullopt with *wrong naming the fields that are not numbers.
    std::optional<records::Instrument> read(QString *wrong) const;
    void setEditable(bool editable);
    void setUnit(bool pounds);

    QLabel *indexNo;
    QLineEdit *makerModel;
    QLineEdit *location;
    QLineEdit *customer;
    QLineEdit *customerAddress;
    QComboBox *accuracyClass;
    QComboBox *unit;
    QLineEdit *max;
    QLineEdit *min;
    QLineEdit *scaleInterval;   // e
    QLineEdit *displayInterval; // d
    QSpinBox *supports;
};
