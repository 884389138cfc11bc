#include "InstrumentForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

using namespace records;

InstrumentForm::InstrumentForm(QWidget *parent) : QWidget(parent)
{
    auto *grid = new QGridLayout(this);
    indexNo = new QLabel(this);
    makerModel = new QLineEdit(this);
    location = new QLineEdit(this);
    customer = new QLineEdit(this);
    customerAddress = new QLineEdit(this);
    accuracyClass = new QComboBox(this);
    accuracyClass->addItems({QStringLiteral("III"), QStringLiteral("IIII")});
    unit = new QComboBox(this);
    unit->addItems({QStringLiteral("kg"), QStringLiteral("lb")});
    max = new QLineEdit(this);
    min = new QLineEdit(this);
    scaleInterval = new QLineEdit(this);
    displayInterval = new QLineEdit(this);
    supports = new QSpinBox(this);
    supports->setRange(1, 16);
    supports->setValue(4);
    const auto add = [&](int row, int column, const QString &text, QWidget *field) {
        auto *label = new QLabel(text, this);
        label->setBuddy(field);
        grid->addWidget(label, row, column * 2);
        grid->addWidget(field, row, column * 2 + 1);
    };
    // Each field has its Alt key; the window's own (tabs, tests, Close record) use none of these.
    add(0, 0, QStringLiteral("Index No."), indexNo);
    add(0, 1, QStringLiteral("Uni&t"), unit);
    add(1, 0, QStringLiteral("Ma&ker and model"), makerModel);
    add(1, 1, QStringLiteral("L&ocation"), location);
    add(2, 0, QStringLiteral("Accurac&y class"), accuracyClass);
    add(2, 1, QStringLiteral("&Supports"), supports);
    add(3, 0, QStringLiteral("Ma&x"), max);
    add(3, 1, QStringLiteral("&Min"), min);
    add(4, 0, QStringLiteral("&e"), scaleInterval);
    add(4, 1, QStringLiteral("&d (= e)"), displayInterval);
    const auto wide = [&](int row, const QString &text, QWidget *field) {
        auto *label = new QLabel(text, this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, 3);
    };
    wide(5, QStringLiteral("&Customer"), customer);
    wide(6, QStringLiteral("&Address"), customerAddress);
    // Tab goes as the eye reads: row by row, left to right.
    QWidget *order[] = {unit, makerModel, location, accuracyClass, supports, max, min, scaleInterval, displayInterval, customer, customerAddress};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    grid->setRowStretch(7, 1);
    showIndexNo({});
}

void InstrumentForm::showIndexNo(const QString &text)
{
    indexNo->setText(text.isEmpty() ? QStringLiteral("(log in to the scale)") : text);
}

void InstrumentForm::setUnit(bool pounds)
{
    unit->setCurrentIndex(pounds ? 1 : 0);
}

void InstrumentForm::fill(const Instrument &in)
{
    const int decimals = qMax(decimalsOf(in.e), decimalsOf(in.d));
    makerModel->setText(in.makerModel);
    location->setText(in.location);
    customer->setText(in.customer);
    customerAddress->setText(in.customerAddress);
    accuracyClass->setCurrentIndex(in.accuracy == AccuracyClass::III ? 0 : 1);
    setUnit(in.pounds);
    max->setText(formatMass(in.max, decimalsOf(in.e)));
    min->setText(formatMass(in.min, decimalsOf(in.e)));
    scaleInterval->setText(formatMass(in.e, decimals));
    displayInterval->setText(formatMass(in.d, decimals));
    supports->setValue(in.supports);
}

std::optional<Instrument> InstrumentForm::read(QString *wrong) const
{
    Instrument in;
    in.makerModel = makerModel->text().trimmed();
    in.location = location->text().trimmed();
    in.customer = customer->text().simplified();
    in.customerAddress = customerAddress->text().simplified();
    in.accuracy = accuracyClass->currentIndex() == 0 ? AccuracyClass::III : AccuracyClass::IIII;
    in.pounds = unit->currentIndex() == 1;
    in.supports = supports->value();
    QStringList notNumbers;
    const auto field = [&notNumbers](const QLineEdit *edit, const QString &name, Micro *into) {
        if (const auto value = parseMass(edit->text()))
            *into = *value;
        else
            notNumbers << name;
    };
    field(max, QStringLiteral("Max"), &in.max);
    field(min, QStringLiteral("Min"), &in.min);
    field(scaleInterval, QStringLiteral("e"), &in.e);
    field(displayInterval, QStringLiteral("d"), &in.d);
    *wrong = notNumbers.join(QStringLiteral(", "));
    return notNumbers.isEmpty() ? std::optional(in) : std::nullopt;
}

void InstrumentForm::setEditable(bool editable)
{
    for (QWidget *w : std::initializer_list<QWidget *>{makerModel, location, customer, customerAddress, accuracyClass, unit, max, min, scaleInterval,
                                                       displayInterval, supports})
        w->setEnabled(editable);
}
