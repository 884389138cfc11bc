#include "VisitForm.h"

#include "WeightClasses.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace records;

VisitForm::VisitForm(QWidget *parent) : QWidget(parent)
{
    auto *grid = new QGridLayout(this);
    limits = new QComboBox(this);
    limits->addItems({QStringLiteral("Initial verification"), QStringLiteral("In service")});
    decisionRule = new QComboBox(this);
    // In the order of Acceptance: ILAC-G8:2019 4.2.1, 4.2.2 and 4.2.3.
    decisionRule->addItems({QStringLiteral("Simple acceptance: |E| <= MPE"), QStringLiteral("Guarded, binary: |E| <= MPE - U"),
                            QStringLiteral("Guarded, non-binary: 4 outcomes")});
    for (QComboBox *box : {limits, decisionRule}) // their choices whole, at the window's narrowest too
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    weightSet = new QLineEdit(this);
    weightSet->setPlaceholderText(QStringLiteral("set id"));
    weightClass = new QComboBox(this);
    weightClass->addItems(weightClassNames());
    weightClass->setCurrentText(QStringLiteral("M1"));
    weightCertificate = new QLineEdit(this);
    weightCertificate->setPlaceholderText(QStringLiteral("certificate"));
    weightIssuer = new QLineEdit(this);
    weightIssuer->setPlaceholderText(QStringLiteral("laboratory"));
    weightSet->setMinimumWidth(weightSet->fontMetrics().horizontalAdvance(QStringLiteral("set id")) + 12);
    technician = new QLineEdit(this);
    technician->setPlaceholderText(QStringLiteral("the technician: your name"));
    place = new QLineEdit(this);
    place->setPlaceholderText(QStringLiteral("where the scale stands"));
    temperatureStart = new QLineEdit(this);
    temperatureEnd = new QLineEdit(this);
    newRecord = new QPushButton(QStringLiteral("Ne&w record"), this);
    discard = new QPushButton(QStringLiteral("&Discard..."), this);
    // Each field has its Alt key; the window's own (tabs, tests, Close record) use none of these.
    const auto row = [&](int at, const QString &text, QWidget *field, const QString &secondText = {}, QWidget *second = nullptr) {
        auto *label = new QLabel(text, this);
        label->setBuddy(field);
        grid->addWidget(label, at, 0);
        auto *fields = new QHBoxLayout;
        fields->addWidget(field, 1);
        if (second) {
            auto *secondLabel = new QLabel(secondText, this);
            secondLabel->setBuddy(second);
            fields->addWidget(secondLabel);
            fields->addWidget(second, 1);
        }
        grid->addLayout(fields, at, 1);
    };
    row(0, QStringLiteral("&MPE limits"), limits);
    row(1, QStringLiteral("Deci&sion rule"), decisionRule);
    row(2, QStringLiteral("Reference wei&ghts"), weightSet, QStringLiteral("&class"), weightClass);
    row(3, QStringLiteral("Weights' certificate N&o."), weightCertificate, QStringLiteral("issued b&y"), weightIssuer);
    row(4, QStringLiteral("Calibrated &by"), technician);
    row(5, QStringLiteral("Pl&ace"), place);
    row(6, QStringLiteral("\u00b0C at s&tart"), temperatureStart, QStringLiteral("at &end"), temperatureEnd);
    auto *actions = new QHBoxLayout;
    for (QPushButton *b : {newRecord, discard}) {
        b->setAutoDefault(false);
        actions->addWidget(b);
    }
    actions->addStretch();
    grid->addLayout(actions, 7, 0, 1, 2);
    grid->setRowStretch(8, 1);

    connect(limits, &QComboBox::activated, this, &VisitForm::limitsChosen);
    connect(decisionRule, &QComboBox::activated, this, &VisitForm::limitsChosen);
    connect(weightClass, &QComboBox::activated, this, &VisitForm::weightsEdited);
    for (QLineEdit *w : {weightSet, weightCertificate, weightIssuer})
        connect(w, &QLineEdit::editingFinished, this, &VisitForm::weightsEdited);
    for (QLineEdit *w : {technician, place, temperatureStart, temperatureEnd})
        connect(w, &QLineEdit::editingFinished, this, &VisitForm::detailsEdited);
}

void VisitForm::fill(const Record &r)
{
    limits->setCurrentIndex(r.inService ? 1 : 0);
    decisionRule->setCurrentIndex(int(r.acceptance));
    weightSet->setText(r.weights.setId);
    if (weightClass->findText(r.weights.weightClass) < 0 && !r.weights.weightClass.isEmpty())
        weightClass->addItem(r.weights.weightClass); // as an earlier version kept it
    weightClass->setCurrentText(r.weights.weightClass);
    weightCertificate->setText(r.weights.certificate);
    weightIssuer->setText(r.weights.issuedBy);
    if (!r.technician.isEmpty() || r.closed())
        technician->setText(r.technician);
    place->setText(r.place);
    const auto celsius = [](const std::optional<Micro> &t) { return t ? formatMass(*t, 1) : QString(); };
    temperatureStart->setText(celsius(r.temperatureStart));
    temperatureEnd->setText(celsius(r.temperatureEnd));
}

void VisitForm::setEditable(bool beforeReadings, bool open)
{
    for (QWidget *w : std::initializer_list<QWidget *>{limits, decisionRule, weightSet, weightClass, weightCertificate})
        w->setEnabled(beforeReadings);
    for (QWidget *w : std::initializer_list<QWidget *>{technician, place, temperatureStart, temperatureEnd})
        w->setEnabled(open);
    weightIssuer->setEnabled(beforeReadings || open);
    discard->setEnabled(open);
}

bool VisitForm::inService() const
{
    return limits->currentIndex() == 1;
}

Acceptance VisitForm::acceptance() const
{
    return Acceptance(qBound(0, decisionRule->currentIndex(), int(Acceptance::NonBinary)));
}

ReferenceWeights VisitForm::weights() const
{
    return {weightSet->text().trimmed(), weightClass->currentText(), weightCertificate->text().trimmed(),
            weightIssuer->text().simplified()};
}

std::optional<Visit::Details> VisitForm::details(QString *wrong) const
{
    Visit::Details d{technician->text(), place->text(), {}, {}};
    for (auto [edit, into] : {std::pair(temperatureStart, &d.temperatureStart), std::pair(temperatureEnd, &d.temperatureEnd)}) {
        if (edit->text().trimmed().isEmpty())
            continue;
        *into = parseMass(edit->text());
        if (!*into || **into < -50 * kMicro || **into > 80 * kMicro) {
            *wrong = QStringLiteral("\"%1\" is not a temperature in degrees Celsius (-50 to 80).").arg(edit->text());
            return std::nullopt;
        }
    }
    return d;
}
