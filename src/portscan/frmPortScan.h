#pragma once
// The port scan window: lists the ports 1 to 16 that can be opened, test-opens one on its own
// serial control and stores it as the console's port.

#include "CommControl.h"
#include "Controls.h"

#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;
class QTreeWidget;

class frmPortScan : public QDialog
{
    Q_OBJECT
public:
    explicit frmPortScan(QWidget *parent = nullptr);
    ~frmPortScan() override;

    void Form_Load();
    bool COM_Available(const std::int16_t &intTempComport);
    void cmdSearch_Click();
    void cmdApply_Click();
    void cmdClose_Click();
    void lstvPortScanResult_DblClick();
    void ConnectMachine_Close_Comport();
    bool Machine_Connection_State_Test_Serial_Port_Setting(const std::int16_t &intTempConnectMachinePortNum);

    QLabel *lblPortStatus;
    platform::Shape *shpConnectMachine;
    QLabel *lblSelectPortNumber;
    QTreeWidget *lstvPortScanResult;
    QLabel *permissionNote; // shown when ports exist that this user may not open
    QPushButton *cmdSearch;
    QPushButton *cmdApply;
    QPushButton *cmdClose;
    platform::CommControl comConnectMachine;

    std::int16_t intSelectPortNum = 0;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void unload();
};
