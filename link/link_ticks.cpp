// Port discovery, polling, the download start, the reply timeout and the receive handler.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "link/request_frame.h"

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
        ComNo = std::int16_t(previousComNo(ComNo));
        enable(Timer_real, true);
        applyCommands(Situation::InstrumentFound);
        return;
    }
    Exchange(KindProbe, 0, 0, true);
    ComNo = std::int16_t(nextComNo(ComNo));
}

void Form1::Timer_real_Timer()
{
    if (!ComFound) return;
    Exchange(RealMode ? KindRealtime : KindProbe);
}

void Form1::Timer_read_Timer()
{
    if (LinkState == LinkCode::Awaiting) return;
    enable(Timer_read, false);
    Exchange(KindRecordCount);
}

void Form1::Timer_timeout_Timer()
{
    enable(Timer_timeout, false);
    LinkState = LinkCode::TimedOut;
    Lab_rtsta->setText(QStringLiteral("通讯失败"));
    endDownload();
}

// Gives the view's commands back and resumes polling, whether or not a download was running.
void Form1::endDownload()
{
    applyCommands(Situation::ExchangeFailed);
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
