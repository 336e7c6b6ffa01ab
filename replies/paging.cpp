#include "replies/paging.h"

#include <algorithm>

namespace tesvaron {

namespace {

std::int16_t blockCount(int rest)
{
    return std::int16_t(std::min(rest, RecordsPerBlock));
}

} // namespace

int pagedTotal(int reported)
{
    return std::clamp(reported, 0, MaxRecordRows);
}

BlockRequest firstBlock(int total)
{
    // The first block starts at record 1, the later ones at 10, 20, ...: the instrument's
    // numbering, kept as it is.
    return {1, blockCount(total)};
}

BlockRequest nextBlock(int blocks, int total)
{
    return {std::int16_t(blocks * RecordsPerBlock), blockCount(total - blocks * RecordsPerBlock)};
}

ReplyStep decideReply(ReplyCheck check, const ReplyFrameBytes& frame, const DownloadState& state)
{
    ReplyStep step;
    step.recTotal = state.recTotal;
    step.recBlock = state.recBlock;
    step.progress = state.progress;
    if (check == ReplyCheck::NoFrame) return step;
    if (check == ReplyCheck::BadChecksum) {
        step.code = LinkCode::BadChecksum;
        return step;
    }
    step.code = LinkCode::ReplyOk;
    bool timeoutRunning = state.timeoutRunning;
    bool running = state.running;

    switch (frame[1]) {
    case ReplyHistoryBlock: {
        step.stopTimeout = true;
        step.act = ReplyAct::WriteBlock;
        step.recBlock = (state.recBlock + 1) & 0xFF;
        step.rowOffset = (step.recBlock - 1) * RecordsPerBlock;
        step.rows = std::clamp(historyRecordCount(frame[0]), 0,
                               std::max(0, MaxRecordRows - step.rowOffset));
        if (step.recBlock * RecordsPerBlock < state.recTotal) {
            step.progress = state.progress + RecordsPerBlock;
            step.next = nextBlock(step.recBlock, state.recTotal);
        } else {
            step.progress = state.recTotal;
            step.finished = true;
            step.recBlock = 0;
            running = false;
        }
        break;
    }
    case ReplyRecordCount:
        step.stopTimeout = true;
        step.reported = frame[2];
        step.recTotal = pagedTotal(frame[2]);
        // A total starts the paging afresh, also one that came unasked in the middle of
        // another download.
        step.recBlock = 0;
        if (step.recTotal == 0) {
            step.act = ReplyAct::NoRecords;
            return step;
        }
        step.act = ReplyAct::StartPaging;
        step.progress = 0;
        step.next = firstBlock(step.recTotal);
        break;
    case ReplyProbe:
        step.stopTimeout = true;
        step.act =
            frame[2] == 0x55 && frame[3] == 0xAA ? ReplyAct::ProbeFound : ReplyAct::ProbeOther;
        break;
    case ReplyRealtime:
        step.stopTimeout = true;
        step.act = ReplyAct::ShowRealtime;
        break;
    case ReplyRefused:
        step.stopTimeout = true;
        break;
    default:
        break;
    }
    if (step.stopTimeout) timeoutRunning = false;
    if (step.next) timeoutRunning = true;
    step.endDownload = running && !timeoutRunning && !state.totalPending;
    return step;
}

} // namespace tesvaron
