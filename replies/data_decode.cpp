// Reply decoding: locating and checking the frame, acting on its kind, paging the download.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "link/request_frame.h"
#include "replies/measure_format.h"
#include "replies/paging.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

namespace tesvaron {

// Read disables the commands until the download ends; the paging itself runs while the
// progress bar is up, which is also the case for a total that came unasked while polling.
bool Form1::downloadRunning() const
{
    return !TabStrip1->isEnabled() || !Progress_read->isHidden();
}

void Form1::DataDecode()
{
    const ReplyCheck check = locateReply(RxBuf, RxCount, RxFrame);
    const ReplyStep step =
        decideReply(check, RxFrame,
                    {downloadRunning(), Timer_read->Enabled(), Timer_timeout->Enabled(), RecTotal,
                     RecBlock, Progress_read->value()});
    if (step.code) LinkState = *step.code;
    if (step.stopTimeout) enable(Timer_timeout, false);
    RecTotal = std::int16_t(step.recTotal);
    RecBlock = std::uint8_t(step.recBlock);

    switch (step.act) {
    case ReplyAct::WriteBlock:
        HistoryShow(std::uint8_t(step.rowOffset), std::uint8_t(step.rows));
        rowsRead_ += step.rows;
        Progress_read->setValue(step.progress);
        if (step.finished) {
            Progress_read->hide();
            applyCommands(Situation::DownloadDone);
            enable(Timer_real, true);
            if (reportedTotal_ > RecTotal)
                messageBox_->show(this, QString::fromLatin1(ProgramName),
                                  QStringLiteral("仪器存有 %1 组记录，表中只显示前 %2 组。")
                                      .arg(reportedTotal_)
                                      .arg(RecTotal),
                                  MessageBoxSeam::Icon::Information);
        }
        break;
    case ReplyAct::NoRecords:
        // A new total replaces the table's records: old rows must not mix with new ones.
        clearRecordCells();
        applyCommands(Situation::DownloadDone);
        Progress_read->hide();
        messageBox_->show(this, QString::fromLatin1(ProgramName),
                          QStringLiteral("设备的测量历史记录组数为0！"),
                          MessageBoxSeam::Icon::None);
        if (!closing_) enable(Timer_real, true);
        return;
    case ReplyAct::StartPaging:
        clearRecordCells();
        rowsRead_ = 0;
        reportedTotal_ = step.reported;
        Progress_read->setMaximum(RecTotal);
        Progress_read->setMinimum(0);
        Progress_read->setValue(0);
        Progress_read->show();
        break;
    case ReplyAct::ProbeFound:
        ComFound = true;
        foundDevice_ = MSComm1->device();
        Lab_rtsta->setText(QStringLiteral("通讯成功"));
        break;
    case ReplyAct::ShowRealtime:
        RealtimeShow();
        break;
    case ReplyAct::ProbeOther:
    case ReplyAct::Nothing:
        break;
    }
    if (step.next) Exchange(KindHistoryBlock, step.next->start, step.next->count);
    if (step.endDownload) endDownload();
}

void Form1::clearRecordCells()
{
    for (int row = 1; row <= MaxRecordRows; ++row)
        for (int col = 1; col <= 3; ++col)
            DataGrid->setTextMatrix(row, col, QString());
}

void Form1::showValuesLive(bool live)
{
    for (QLabel* value : {Lab_value_lg, Lab_value_ll, Lab_value_a})
        value->setEnabled(live);
}

void Form1::RealtimeShow()
{
    enable(Timer_timeout, false);
    showValuesLive(true);
    VoltText.clear();
    const RealtimeValue value = realtimeValue(RxFrame);
    const MeasureTexts texts = realtimeTexts(value.rawVolt, value.rawCurrent, value.code);
    if (texts.ground == OverRangeText) {
        Lab_value_lg->setText(OverRangeText);
        Lab_value_ll->setText(OverRangeText);
        Lab_value_a->setText(OverRangeText);
        return;
    }
    VoltUnit = QStringLiteral("kV");
    VoltText = texts.ground.chopped(VoltUnit.size());
    Lab_value_lg->setText(VoltText + VoltUnit);
    VoltText = texts.line.chopped(VoltUnit.size());
    Lab_value_ll->setText(VoltText + VoltUnit);
    CurrText = texts.current.chopped(1);
    Lab_value_a->setText(CurrText + QStringLiteral("A"));
}

void Form1::HistoryShow(std::uint8_t rowOffset, std::uint8_t count)
{
    // The count is already held to the table's rows and to what the frame can carry.
    for (int i = 0; i < count; ++i) {
        const int row = rowOffset + i + 1;
        const HistoryRecord record = historyRecord(RxFrame, i);
        const MeasureTexts texts = historyTexts(record.rawVolt, record.rawCurrent, record.code);
        DataGrid->setTextMatrix(row, 1, texts.ground);
        DataGrid->setTextMatrix(row, 2, texts.line);
        DataGrid->setTextMatrix(row, 3, texts.current);
    }
}

} // namespace tesvaron
