// The controls of frmMain: names, captions, initial texts, places (twips), fonts and colours.
#include "frmMain.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace platform;

namespace {

const QColor kPanelBack = RGB(192, 220, 192);
const QColor kFrameBack = RGB(179, 187, 204);

QFont buttonFont() { return vbFont(QStringLiteral("Arial"), 8.25, true); }
QFont labelFont() { return vbFont(QStringLiteral("Arial"), 9.75, true); }
QFont smallBold() { return vbFont(QStringLiteral("Arial"), 8.25, true); }
QFont exponentFont() { return vbFont(QStringLiteral("Arial"), 6.75, false); }
QFont textFont() { return vbFont(QStringLiteral("MS Sans Serif"), 8.25, false); }
QFont timesFont(double pt, bool bold) { return vbFont(QStringLiteral("Times New Roman"), pt, bold); }

template <typename W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QFrame *panel(QWidget *parent, const char *name, const QColor &back, bool etched)
{
    auto *f = named(new QFrame(parent), name);
    if (etched) {
        f->setFrameShape(QFrame::Box);
        f->setFrameShadow(QFrame::Sunken);
    }
    setBackColor(f, back);
    return f;
}

Shape *shape(QWidget *parent, const char *name, const QColor &fill, int l, int t, int w, int h)
{
    auto *s = named(new Shape(Shape::Rectangle, parent), name);
    s->setFillColor(fill);
    placeTw(s, l, t, w, h);
    return s;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, int l, int t, int w, int h,
              const QFont &font = labelFont(), Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop)
{
    auto *lb = named(new QLabel(text, parent), name);
    lb->setFont(font);
    lb->setAlignment(align);
    setForeColor(lb, Qt::black);
    placeTw(lb, l, t, w, h);
    return lb;
}

QLabel *header(QWidget *parent, const char *name, const QString &text, int l, int t, int w, int h)
{
    return label(parent, name, text, l, t, w, h, labelFont(), Qt::AlignHCenter | Qt::AlignTop);
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, int l, int t, int w,
                    int h)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setFont(buttonFont());
    b->setAutoDefault(false);
    placeTw(b, l, t, w, h);
    return b;
}

QLineEdit *textBox(QWidget *parent, const char *name, const QString &text, int l, int t, int w,
                   int h, int maxLength = 0, bool readOnly = false, const QFont &font = textFont(),
                   bool centred = false)
{
    auto *e = named(new QLineEdit(parent), name);
    e->setFont(font);
    if (maxLength > 0)
        setMaxTypedLength(e, maxLength);
    e->setText(text);
    e->setReadOnly(readOnly);
    if (centred)
        e->setAlignment(Qt::AlignCenter);
    if (readOnly) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, QApplication::palette().color(QPalette::Window));
        e->setPalette(p);
    }
    placeTw(e, l, t, w, h);
    return e;
}

const QString kElevenZeros = QStringLiteral("00000000000");
const QString kFourZeros = QStringLiteral("0000");

} // namespace

void frmMain::createControls()
{
    // Login panel
    fraMain = panel(this, "fraMain", kPanelBack, false);
    placeTw(fraMain, -15, 0, 4575, 6195);
    shpDataCaption = shape(fraMain, "shpDataCaption", RGB(166, 202, 240), 30, 30, 4500, 435);
    lblDataCaption = header(fraMain, "lblDataCaption", QStringLiteral("Please enter the approved data."),
                            540, 120, 3375, 240);
    fraTest = panel(fraMain, "fraTest", kFrameBack, true);
    placeTw(fraTest, 30, 465, 4500, 1710);
    lblSerialNo = label(fraTest, "lblSerialNo", QStringLiteral("Index No."), 285, 367, 750, 210, smallBold());
    txtSerialCheck = textBox(fraTest, "txtSerialCheck", kElevenZeros, 1710, 330, 2655, 285, 11);
    lblAdministrator = label(fraTest, "lblAdministrator", QStringLiteral("User"), 465, 735, 390, 210, smallBold());
    auto *group = new QButtonGroup(this);
    const char *radioNames[] = {"optAdmin_0", "optAdmin_1"};
    const int radioLeft[] = {1875, 3060};
    for (int i = 0; i < 2; ++i) {
        optAdmin[i] = named(new QRadioButton(QStringLiteral("00%1").arg(i + 1), fraTest), radioNames[i]);
        optAdmin[i]->setFont(textFont());
        setBackColor(optAdmin[i], kFrameBack);
        placeTw(optAdmin[i], radioLeft[i], 690, 1050, 285);
        group->addButton(optAdmin[i], i);
    }
    lblPassword = label(fraTest, "lblPassword", QStringLiteral("Password No."), 75, 1110, 1170, 195, smallBold());
    txtPassCheck = textBox(fraTest, "txtPassCheck", kFourZeros, 1710, 1065, 1590, 285, 4);
    cmdCheck = button(fraTest, "cmdCheck", QStringLiteral("OK"), 3360, 1057, 1000, 300);
    cmdCom = button(fraMain, "cmdCom", QStringLiteral("COM"), 660, 2355, 1200, 400);
    cmdExit = button(fraMain, "cmdExit", QStringLiteral("Close"), 2685, 2355, 1200, 400);

    // Data panel
    fraData = panel(this, "fraData", kPanelBack, false);
    placeTw(fraData, 0, 0, 4575, 6195);
    shpScale = shape(fraData, "shpScale", RGB(219, 193, 215), 30, 30, 4500, 435);
    lblScalePanel = header(fraData, "lblScalePanel", QStringLiteral("Scale"), 1980, 120, 600, 240);
    lblScale = label(fraData, "lblScale", QStringLiteral("000.00"), 1500, 675, 1560, 630,
                     timesFont(27.75, true), Qt::AlignHCenter | Qt::AlignTop);
    setForeColor(lblScale, RGB(0, 0, 64));
    Label5 = label(fraData, "Label5", QStringLiteral("[lb]"), 3345, 975, 315, 240);
    lblValuePanel = label(fraData, "lblValuePanel", QStringLiteral("Digital Value : "), 2715, 1365, 1020, 210,
                          vbFont(QStringLiteral("Arial"), 8.25, false));
    lblValue = label(fraData, "lblValue", QStringLiteral("00000"), 3945, 1380, 465, 210, timesFont(8.25, false),
                     Qt::AlignHCenter | Qt::AlignTop);
    setForeColor(lblValue, RGB(0, 0, 64));
    shpAccelPanel = shape(fraData, "shpAccelPanel", RGB(238, 145, 170), 30, 1665, 4500, 435);
    lblAccelPanel = header(fraData, "lblAccelPanel", QStringLiteral("Gravity Value"), 1590, 1755, 1395, 240);
    Label3 = label(fraData, "Label3", QStringLiteral("Read"), 390, 2265, 525, 240);
    txtAccelRead = textBox(fraData, "txtAccelRead", QString(), 1095, 2175, 2415, 435, 0, true,
                           timesFont(14.25, false), true);
    Label2 = label(fraData, "Label2", QStringLiteral("[m/s ]"), 3555, 2370, 585, 240);
    Label1_0 = label(fraData, "Label1_0", QStringLiteral("2"), 3915, 2295, 75, 165, exponentFont());
    Label4 = label(fraData, "Label4", QStringLiteral("Write"), 405, 2745, 525, 240);
    txtAccel = textBox(fraData, "txtAccel", QStringLiteral("9.7982"), 1095, 2655, 2415, 435, 6, false,
                       timesFont(14.25, false), true);
    lblUnit = label(fraData, "lblUnit", QStringLiteral("[m/s ]"), 3555, 2820, 585, 240);
    lblSeq = label(fraData, "lblSeq", QStringLiteral("2"), 3915, 2745, 75, 165, exponentFont());
    cmdAccelRead = button(fraData, "cmdAccelRead", QStringLiteral("Read"), 840, 3150, 1200, 435);
    cmdAccelWrite = button(fraData, "cmdAccelWrite", QStringLiteral("Write"), 2490, 3150, 1200, 435);

    fraCalAuto = panel(fraData, "fraCalAuto", kFrameBack, true);
    placeTw(fraCalAuto, 30, 3660, 4500, 1605);
    shpAuto = shape(fraCalAuto, "shpAuto", RGB(154, 154, 228), 0, 15, 4500, 435);
    lblCalAuto = header(fraCalAuto, "lblCalAuto", QStringLiteral("Scale Calibration ( Auto )"), 960, 112, 2580, 240);
    cmd0kg = button(fraCalAuto, "cmd0kg", QString(), 315, 810, 1200, 435);
    cmd50Kg = button(fraCalAuto, "cmd50Kg", QString(), 1650, 810, 1200, 435);
    cmd100kg = button(fraCalAuto, "cmd100kg", QString(), 2985, 810, 1200, 435);

    fraCalManual = panel(fraData, "fraCalManual", kFrameBack, true);
    placeTw(fraCalManual, 30, 3660, 4500, 1605);
    shpCalManual = shape(fraCalManual, "shpCalManual", RGB(238, 237, 174), 0, 0, 4500, 435);
    lblCalManual = header(fraCalManual, "lblCalManual", QStringLiteral("Scale Calibration ( Manual )"), 818, 90, 2865, 240);
    cmd10gUp = button(fraCalManual, "cmd10gUp", QString(), 390, 540, 1200, 435);
    cmd10gDn = button(fraCalManual, "cmd10gDn", QString(), 390, 1020, 1200, 435);
    cmdZero = button(fraCalManual, "cmdZero", QStringLiteral("Zero"), 1800, 795, 1000, 435);
    cmd100gUp = button(fraCalManual, "cmd100gUp", QString(), 3000, 540, 1200, 435);
    cmd100gDn = button(fraCalManual, "cmd100gDn", QString(), 3000, 1020, 1200, 435);

    cmdKgLb = button(fraData, "cmdKgLb", QStringLiteral("Lb Mode"), 270, 5550, 1000, 435);
    cmdAuto = button(fraData, "cmdAuto", QStringLiteral("Manual"), 1305, 5550, 1000, 435);
    cmdAdmin = button(fraData, "cmdAdmin", QStringLiteral("User"), 2340, 5550, 1000, 435);
    cmdClose = button(fraData, "cmdClose", QStringLiteral("Close"), 3375, 5550, 1000, 435);
    cmdReset = button(fraData, "cmdReset", QStringLiteral("Init"), 765, 5715, 1200, 435);

    // Administration panel
    fraAdmin = panel(this, "fraAdmin", kPanelBack, false);
    placeTw(fraAdmin, 0, 0, 4575, 6195);
    shpSerial = shape(fraAdmin, "shpSerial", RGB(219, 193, 215), 30, 15, 4500, 435);
    lblSerialPanel = header(fraAdmin, "lblSerialPanel", QStringLiteral("Index No."), 1815, 90, 945, 240);
    Label7 = label(fraAdmin, "Label7", QStringLiteral("Read"), 930, 840, 525, 240);
    txtSerialRead = textBox(fraAdmin, "txtSerialRead", kElevenZeros, 1620, 795, 1905, 345, 11, true);
    Label6 = label(fraAdmin, "Label6", QStringLiteral("Write"), 930, 1260, 525, 240);
    txtSerial = textBox(fraAdmin, "txtSerial", kElevenZeros, 1620, 1215, 1905, 345, 11);
    cmdSerialRead = button(fraAdmin, "cmdSerialRead", QStringLiteral("Read"), 810, 1740, 1200, 400);
    cmdSerialWrite = button(fraAdmin, "cmdSerialWrite", QStringLiteral("Write"), 2430, 1740, 1200, 400);
    shpPassword = shape(fraAdmin, "shpPassword", RGB(219, 193, 215), 30, 2490, 4500, 435);
    lblPasswordPanel = header(fraAdmin, "lblPasswordPanel", QStringLiteral("Passwrod No."), 1635, 2580, 1305, 240);
    lblAdmin1 = label(fraAdmin, "lblAdmin1", QStringLiteral("User 001"), 1590, 3165, 705, 210, smallBold());
    lblAdmin2 = label(fraAdmin, "lblAdmin2", QStringLiteral("User 002"), 3195, 3165, 705, 210, smallBold());
    Label9 = label(fraAdmin, "Label9", QStringLiteral("Read"), 720, 3405, 525, 240);
    txtPass1Read = textBox(fraAdmin, "txtPass1Read", kFourZeros, 1432, 3405, 990, 285, 4, true);
    txtPass2Read = textBox(fraAdmin, "txtPass2Read", kFourZeros, 3030, 3405, 1005, 285, 4, true);
    Label8 = label(fraAdmin, "Label8", QStringLiteral("Write"), 720, 3780, 525, 240);
    txtPass1 = textBox(fraAdmin, "txtPass1", kFourZeros, 1432, 3765, 990, 285, 4);
    txtPass2 = textBox(fraAdmin, "txtPass2", kFourZeros, 3030, 3765, 1005, 285, 4);
    cmdPassRead = button(fraAdmin, "cmdPassRead", QStringLiteral("Read"), 810, 4365, 1200, 400);
    cmdPassWrite = button(fraAdmin, "cmdPassWrite", QStringLiteral("Write"), 2430, 4365, 1200, 400);
    cmdViewLog = button(fraAdmin, "cmdViewLog", QStringLiteral("View Log"), 2310, 5505, 1000, 435);
    cmdAdminClose = button(fraAdmin, "cmdAdminClose", QStringLiteral("Close"), 3345, 5505, 1000, 435);
    recordButton = button(fraAdmin, "recordButton", QStringLiteral("Record"), 1275, 5505, 1000, 435);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer4.setObjectName(QStringLiteral("Timer4"));
    MSComm.setObjectName(QStringLiteral("MSComm"));
}

QRect frmMain::buttonRowsOnScreen() const
{
    int bottom = fraCalAuto->geometry().bottom();
    for (const QWidget *row : {cmdKgLb, cmdAuto, cmdAdmin, cmdClose})
        bottom = qMax(bottom, row->geometry().bottom());
    const QPoint top = fraData->mapTo(this, QPoint(0, fraCalAuto->geometry().top()));
    return {mapToGlobal(QPoint(0, top.y())), mapToGlobal(QPoint(width() - 1, fraData->mapTo(this, QPoint(0, bottom)).y()))};
}
