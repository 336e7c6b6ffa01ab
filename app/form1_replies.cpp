// The reply handlers: locating and checking the frame, acting on its kind, paging the
// download, the realtime values and the history rows.

#include "app/form1.h"
#include "app/tab_strip.h"
#include "link/request_frame.h"
#include "replies/measure_format.h"
#include "replies/paging.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

namespace tesvaron {

void Form1::DataDecode()
{
    const ReplyCheck check = locateReply(RxBuf, RxCount, RxFrame);
    const ReplyStep step = decideReply(check, RxFrame,
                                       {.running = download_.running,
                                        .totalPending = download_.totalPending,
                                        .timeoutRunning = Timer_timeout->Enabled(),
                                        .recTotal = RecTotal,
                                        .recBlock = RecBlock,
                                        .progress = download_.progress});
    if (step.code) LinkState = *step.code;
    // Only a reply taken as an answer says the exchange succeeded.
    if (step.stopTimeout) {
        enable(Timer_timeout, false);
        Lab_rtsta->setText(QStringLiteral("通讯成功"));
    }
    RecTotal = std::int16_t(step.recTotal);
    RecBlock = std::uint8_t(step.recBlock);

    switch (step.act) {
    case ReplyAct::WriteBlock: {
        const QList<HistoryRow> rows =
            HistoryShow(std::uint8_t(step.rowOffset), std::uint8_t(step.rows));
        download_.rowsRead += int(rows.size());
        download_.progress = step.progress;
        Progress_read->setValue(step.progress);
        if (!rows.isEmpty()) announce([&rows](MeasurementListener& l) { l.downloadRows(rows); });
        if (step.finished) {
            Progress_read->hide();
            applyCommands(Situation::DownloadDone);
            enable(Timer_real, true);
            finishDownload(true);
            if (download_.reported > RecTotal)
                messageBox_->show(this, QString::fromLatin1(ProgramName),
                                  QStringLiteral("仪器存有 %1 组记录，表中只显示前 %2 组。")
                                      .arg(download_.reported)
                                      .arg(RecTotal),
                                  MessageBoxSeam::Icon::Information);
        }
        break;
    }
    case ReplyAct::NoRecords:
        // A new total replaces the table's records: old rows must not mix with new ones.
        clearRecordCells();
        beginDownload();
        download_.reported = step.reported;
        announce([&step](MeasurementListener& l) { l.downloadTotal(step.reported); });
        applyCommands(Situation::DownloadDone);
        Progress_read->hide();
        finishDownload(true);
        messageBox_->show(this, QString::fromLatin1(ProgramName),
                          QStringLiteral("设备的测量历史记录组数为0！"),
                          MessageBoxSeam::Icon::None);
        if (!closing_) enable(Timer_real, true);
        return;
    case ReplyAct::StartPaging:
        clearRecordCells();
        beginDownload();
        download_.reported = step.reported;
        download_.rowsRead = 0;
        download_.progress = 0;
        announce([&step](MeasurementListener& l) { l.downloadTotal(step.reported); });
        Progress_read->setMaximum(RecTotal);
        Progress_read->setMinimum(0);
        Progress_read->setValue(0);
        Progress_read->show();
        break;
    case ReplyAct::ProbeFound:
        ComFound = true;
        foundDevice_ = MSComm1->device();
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

void Form1::beginDownload()
{
    if (download_.running) return;
    download_ = {.running = true};
    announce([this, at = QDateTime::currentDateTime()](MeasurementListener& l) {
        l.downloadStarted(portInfo(), at);
    });
}

void Form1::finishDownload(bool complete)
{
    download_.running = false;
    download_.totalPending = false;
    if (download_.rowsRead > 0) unsavedDownload_ = true;
    const DownloadEnd end{complete, download_.reported, download_.rowsRead,
                          QDateTime::currentDateTime()};
    announce([&end](MeasurementListener& l) { l.downloadEnded(end); });
}

void Form1::clearRecordCells()
{
    history_.clear();
    for (int no = 1; no <= HistoryModel::RecordRows; ++no)
        drawHistoryRow(no);
}

MeasureTexts Form1::shownValues() const
{
    if (live_) return live_->value.texts;
    return {QStringLiteral("--kV"), QStringLiteral("--kV"), QStringLiteral("--A")};
}

void Form1::showValues()
{
    const MeasureTexts texts = shownValues();
    Lab_value_lg->setText(texts.ground);
    Lab_value_ll->setText(texts.line);
    Lab_value_a->setText(texts.current);
    for (QLabel* value : {Lab_value_lg, Lab_value_ll, Lab_value_a})
        value->setEnabled(live_.has_value());
}

void Form1::dropLiveValue()
{
    live_.reset();
    showValues();
}

void Form1::RealtimeShow()
{
    enable(Timer_timeout, false);
    VoltText.clear();
    live_ =
        RealtimeSample{QDateTime::currentDateTime(), realtimeMeasurement(realtimeValue(RxFrame))};
    showValues();
    announce([this](MeasurementListener& l) { l.realtimeReading(*live_); });
    const MeasureTexts& texts = live_->value.texts;
    if (live_->value.overRange) return;
    VoltUnit = QStringLiteral("kV");
    VoltText = texts.line.chopped(VoltUnit.size());
    CurrText = texts.current.chopped(1);
}

QList<HistoryRow> Form1::HistoryShow(std::uint8_t rowOffset, std::uint8_t count)
{
    // The count is already held to the table's rows and to what the frame can carry.
    const QList<HistoryRow> rows = history_.writeBlock(RxFrame, rowOffset, count);
    for (const HistoryRow& row : rows)
        drawHistoryRow(row.no);
    return rows;
}

} // namespace tesvaron
