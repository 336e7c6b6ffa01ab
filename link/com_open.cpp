// Opening the serial port by number and reporting the outcome in the port status label.

#include "app/form1.h"

#include <QLabel>

namespace tesvaron {

int Form1::ComOpen(std::int16_t port)
{
    if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
    MSComm1->setCommPort(port);
    const int error = MSComm1->setPortOpen(true);
    const QString com = QStringLiteral("COM%1").arg(port);
    if (error == CommControl::ErrPortInUse)
        LabComsta->setText(com + QStringLiteral("被占用"));
    else if (error == CommControl::ErrNoSuchPort)
        LabComsta->setText(com + QStringLiteral("无效"));
    else if (error == CommControl::ErrNoPermission)
        LabComsta->setText(com + QStringLiteral("无权限"));
    else
        LabComsta->setText(com + QStringLiteral("已打开"));
    // The caption cannot say which device COM n is, nor why an open failed; the tooltip does.
    LabComsta->setToolTip(MSComm1->lastOpenDetail());
    return error;
}

} // namespace tesvaron
