#pragma once
#include <QWidget>
#include "CommControl.h"

class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    platform::CommControl MSComm;
};
