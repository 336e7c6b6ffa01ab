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
        Lab_permission->hide();
        refusedThisScan_.clear();
        Lab_rtsta->setText(QStringLiteral("通讯成功"));
        // The tick that sent the answered probe had already moved on to the next port.
        ComNo = std::int16_t(previousComNo(ComNo));
        enable(Timer_real, true);
        applyCommands(Situation::InstrumentFound);
        return;
    }
    Exchange(KindProbe, 0, 0, SendIf::Opened);
    ComNo = std::int16_t(nextComNo(ComNo));
}

void Form1::Timer_real_Timer()
{
    if (!ComFound) return;
    Exchange(RealMode ? KindRealtime : KindProbe, 0, 0, SendIf::InstrumentThere);
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
    showValuesLive(false);
    endDownload();
}

// Gives the view's commands back and resumes polling, whether or not a download was running;
// a download cut short says how far it got.
void Form1::endDownload()
{
    const bool paging = !Progress_read->isHidden();
    // While the start tick still has the total to ask for, the download goes on.
    const bool cutShort = downloadRunning() && !Timer_read->Enabled();
    applyCommands(Situation::ExchangeFailed);
    enable(Timer_real, true);
    Progress_read->hide();
    RecBlock = 0;
    if (!cutShort) return;
    messageBox_->show(
        this, QString::fromLatin1(ProgramName),
        paging ? QStringLiteral("下载中断：已读取 %1 / %2 组记录。").arg(rowsRead_).arg(RecTotal)
               : QStringLiteral("下载中断：仪器没有回答记录组数。"),
        MessageBoxSeam::Icon::Exclamation);
}

void Form1::loseInstrument()
{
    ComFound = false;
    foundDevice_.clear();
    Lab_rtsta->setText(QStringLiteral("通讯失败"));
    showValuesLive(false);
    applyCommands(Situation::InstrumentLost);
    enable(Timer_real, false);
    enable(Timer_findcom, true);
}

void Form1::notePortRefusals(int openError)
{
    if (openError == CommControl::ErrNoPermission) refusedThisScan_ << MSComm1->device();
    if (ComNo != LastComNumber) return;
    // A whole pass is over: say why nothing answers while it still holds.
    refusedThisScan_.removeDuplicates();
    Lab_permission->setText(
        QStringLiteral("没有找到仪器。无权打开串口 %1。请运行 sudo usermod -aG dialout $USER，"
                       "然后注销并重新登录。")
            .arg(refusedThisScan_.join(QStringLiteral("、"))));
    Lab_permission->setVisible(!refusedThisScan_.isEmpty());
    refusedThisScan_.clear();
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
