// Port discovery, polling, the download start, the reply timeout and the receive handler.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "link/request_frame.h"
#include "platform/port_map.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

namespace tesvaron {

void Form1::Timer_findcom_Timer()
{
    if (ComFound) {
        enable(Timer_findcom, false);
        Lab_rtsta->setText(QStringLiteral("通讯成功"));
        // The tick that sent the answered probe had already moved on to the next port.
        ComNo = ComNo == FirstComNumber ? LastComNumber : ComNo - 1;
        enable(Timer_real, true);
        enable(Button_read, !RealMode);
        enable(menuread, true);
        return;
    }
    ComOpen(ComNo);
    if (MSComm1->PortOpen()) CmdSend(KindProbe, 0, 0);
    ComNo = ComNo >= LastComNumber ? FirstComNumber : ComNo + 1;
}

void Form1::Timer_real_Timer()
{
    if (!ComFound) return;
    ComOpen(ComNo);
    CmdSend(RealMode ? KindRealtime : KindProbe, 0, 0);
}

void Form1::Timer_read_Timer()
{
    if (LinkState == 1) return;
    enable(Timer_read, false);
    ComOpen(ComNo);
    CmdSend(KindRecordCount, 0, 0);
}

void Form1::Timer_timeout_Timer()
{
    enable(Timer_timeout, false);
    LinkState = 5;
    Lab_rtsta->setText(QStringLiteral("通讯失败"));
    endDownload();
}

// Gives the view's commands back and resumes polling, whether or not a download was running.
void Form1::endDownload()
{
    if (RealMode) {
        enable(Button_read, false);
        enable(menuread, false);
        enable(Button_clear, false);
        enable(menuclear, false);
    } else {
        if (ComFound) {
            enable(Button_read, true);
            enable(menuread, true);
        }
        enable(Button_clear, true);
        enable(menuclear, true);
    }
    enable(Button_save, true);
    enable(Button_print, true);
    enable(Button_help, true);
    enable(menusave, true);
    enable(menuprint, true);
    enable(menuhelp, true);
    enable(TabStrip1, true);
    enable(Timer_real, true);
    Progress_read->hide();
    RecBlock = 0;
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1->CommEvent() != CommControl::EventReceive) return;
    // Every waiting byte is taken, however many; nothing is capped at 255.
    RxCount = MSComm1->InBufferCount();
    RxBuf = MSComm1->Input();
    Lab_rtsta->setText(QStringLiteral("通讯成功"));
    if (RxCount >= RxNeed) {
        MSComm1->setInBufferCount(0);
        MSComm1->setOutBufferCount(0);
        MSComm1->setPortOpen(false);
        DataDecode();
    }
}

} // namespace tesvaron
