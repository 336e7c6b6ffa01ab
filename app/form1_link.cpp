// The link's handlers: opening the port, sending a request, the port search, polling, the
// download's start tick, the reply timeout and the receive notification.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "link/request_frame.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

namespace tesvaron {

int Form1::ComOpen(std::int16_t port)
{
    if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
    MSComm1->setCommPort(port);
    const int error = MSComm1->setPortOpen(true);
    // Any failure has its own word: a port that did not open never reads as opened.
    LabComsta->setText(QStringLiteral("COM%1").arg(port) +
                       openOutcomeText(MSComm1->lastOpenOutcome()));
    // The caption cannot say which device COM n is, nor why an open failed; the tooltip does.
    LabComsta->setToolTip(MSComm1->lastOpenDetail());
    return error;
}

void Form1::CmdSend(std::uint8_t kind, std::int16_t start, std::int16_t count)
{
    const RequestFrame frame = buildRequest(kind, start, count);
    RxNeed = frame.rxNeed;
    MSComm1->setRThreshold(RxNeed);
    // A failed write is not reported: the exchange ends in the reply timeout.
    MSComm1->setOutput(QByteArray(reinterpret_cast<const char*>(frame.bytes.data()),
                                  qsizetype(frame.bytes.size())));
    LinkState = LinkCode::Awaiting;
    MSComm1->setInBufferCount(0);
    MSComm1->setOutBufferCount(0);
    RxCount = 0;
    // Enabling a running timer does not restart it: the timeout counts from the first request.
    enable(Timer_timeout, true);
}

void Form1::Exchange(std::uint8_t kind, std::int16_t start, std::int16_t count, SendIf when)
{
    const int error = ComOpen(ComNo);
    if (when == SendIf::Opened) {
        notePortRefusals(error);
        if (!MSComm1->PortOpen()) return;
    }
    if (when == SendIf::InstrumentThere &&
        instrumentGone(error == CommControl::ErrNoSuchPort, foundDevice_.toStdString(),
                       MSComm1->device().toStdString()))
        return loseInstrument();
    CmdSend(kind, start, count);
}

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
        sessionAnnounced_ = true;
        announce([info = portInfo()](MeasurementListener& l) { l.instrumentFound(info); });
        return;
    }
    Lab_rtsta->setText(SearchingText);
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
    download_.totalPending = false;
    Exchange(KindRecordCount);
}

void Form1::Timer_timeout_Timer()
{
    enable(Timer_timeout, false);
    LinkState = LinkCode::TimedOut;
    // An unanswered probe is part of the search, not a failure of an instrument found.
    Lab_rtsta->setText(ComFound ? QStringLiteral("通讯失败") : SearchingText);
    dropLiveValue();
    endDownload();
}

// Gives the view's commands back and resumes polling once an exchange failed; a download cut
// short says how far it got. While Read's start tick has still to ask for the total, the
// download has not begun: a poll that ends then gives nothing back and starts no polling.
void Form1::endDownload()
{
    if (download_.totalPending) return;
    const bool cutShort = download_.running;
    const bool paging = download_.reported >= 0;
    applyCommands(Situation::ExchangeFailed);
    enable(Timer_real, true);
    Progress_read->hide();
    RecBlock = 0;
    if (!cutShort) return;
    finishDownload(false);
    messageBox_->show(this, QString::fromLatin1(ProgramName),
                      paging ? QStringLiteral("下载中断：已读取 %1 / %2 组记录。")
                                   .arg(download_.rowsRead)
                                   .arg(RecTotal)
                             : QStringLiteral("下载中断：仪器没有回答记录组数。"),
                      MessageBoxSeam::Icon::Exclamation);
}

void Form1::loseInstrument()
{
    ComFound = false;
    foundDevice_.clear();
    Lab_rtsta->setText(SearchingText);
    dropLiveValue();
    endSession();
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
    if (RxCount >= RxNeed) {
        MSComm1->setInBufferCount(0);
        MSComm1->setOutBufferCount(0);
        MSComm1->setPortOpen(false);
        DataDecode();
    }
}

} // namespace tesvaron
