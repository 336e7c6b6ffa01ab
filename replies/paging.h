#pragma once
// Paging through the history download, and what each reply does to the link and the download.
//
// A download of T records (T at most 99, the table's record rows) asks for blocks of ten:
//   (start 1, count min(T,10)), then after block k while 10k < T: (start 10k, count min(T-10k,10))
// Block k fills rows 10(k-1)+1 .. 10(k-1)+n, never past row 99; the progress bar runs 0..T in
// steps of 10 and shows T at the end.

#include "link/link_logic.h"
#include "replies/reply_frame.h"

#include <cstdint>
#include <optional>

namespace tesvaron {

inline constexpr int RecordsPerBlock = 10;
inline constexpr int MaxRecordRows = 99;

enum ReplyKind : std::uint8_t {
    ReplyHistoryBlock = 0x01,
    ReplyRecordCount = 0x02,
    ReplyProbe = 0x05,
    ReplyRealtime = 0x06,
    ReplyRefused = 0xF1,
};

struct BlockRequest
{
    std::int16_t start = 0;
    std::int16_t count = 0;
    friend bool operator==(const BlockRequest&, const BlockRequest&) = default;
};

// The total the paging works to: the instrument's count, at most the table's rows.
int pagedTotal(int reported);
// The first request of a download of `total` records (total > 0).
BlockRequest firstBlock(int total);
// The request after `blocks` blocks have come, when blocks * 10 < total.
BlockRequest nextBlock(int blocks, int total);

// What the window knows of a download when a reply comes.
struct DownloadState
{
    bool running = false;       // Read was pressed, or paging is under way
    bool totalPending = false;  // the record-count request is still to be sent
    bool timeoutRunning = true; // the reply timer is armed
    int recTotal = 0;           // RecTotal
    int recBlock = 0;           // RecBlock
    int progress = 0;           // the progress bar's value
};

enum class ReplyAct {
    Nothing,      // no frame, bad checksum, unknown kind or a refusal
    ProbeFound,   // a probe answered 55 AA: the instrument is there
    ProbeOther,   // a probe reply with another payload
    ShowRealtime, // realtime value for the panel
    NoRecords,    // record total 0: commands back, message box, polling on
    StartPaging,  // record total > 0: progress 0..T shown, first block asked for
    WriteBlock,   // history block: rows written, then `next` asked for or the download finished
};

// Everything one reply does, decided without a window.
struct ReplyStep
{
    std::optional<LinkCode> code; // unset: LinkState unchanged
    bool stopTimeout = false;
    ReplyAct act = ReplyAct::Nothing;
    int reported = 0;                 // StartPaging/NoRecords: the instrument's own total
    int recTotal = 0;                 // RecTotal afterwards
    int recBlock = 0;                 // RecBlock afterwards
    int rowOffset = 0;                // WriteBlock: rows rowOffset+1 .. rowOffset+rows
    int rows = 0;                     //
    std::optional<BlockRequest> next; // the block to ask for now
    int progress = 0;                 // the progress bar's value afterwards
    bool finished = false;            // WriteBlock: the last block; commands back, polling on
    // The reply stopped the reply timer without asking for more while a download ran: end it
    // as the reply timeout does, or it would wait for nothing with every command disabled.
    bool endDownload = false;
};

ReplyStep decideReply(ReplyCheck check, const ReplyFrameBytes& frame, const DownloadState& state);

} // namespace tesvaron
