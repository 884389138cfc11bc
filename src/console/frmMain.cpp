#include "frmMain.h"
#include "modCommon.h"

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Vantor SCALE [1.0.03 13.08.13]"));
    modCommon::gnComPortNo = 1;
    modCommon::lf_StartMeasure(MSComm, modCommon::gnComPortNo);
}
