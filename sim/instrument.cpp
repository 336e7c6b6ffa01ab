#include "sim/instrument.h"

#include <algorithm>
#include <numeric>

namespace tesvaron::sim {

using namespace std::chrono_literals;

// ---- random numbers --------------------------------------------------------------------------

quint64 SimRandom::next()
{
    quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

quint32 SimRandom::below(quint32 bound)
{
    return static_cast<quint32>(next() % bound);
}

double SimRandom::unit()
{
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

namespace {

// Typical voltages to ground on lines of 0.4 to 500 kV, plus a high one, in tenths of a kV.
constexpr std::array<int, 9> TypicalGround{2, 38, 58, 202, 381, 635, 1270, 2887, 3900};

quint16 groundVoltage(SimRandom& r)
{
    if (r.below(12) == 0) return 0; // head not on a live line
    const int base = TypicalGround[r.below(TypicalGround.size())];
    // within +-6 % of the typical value
    const int spread = std::max(1, base * 6 / 100);
    const int v = base - spread + static_cast<int>(r.below(static_cast<quint32>(2 * spread + 1)));
    return static_cast<quint16>(std::clamp(v, 0, 4000));
}

quint16 recordCurrent(SimRandom& r, quint8 code)
{
    switch (code) {
    case 2:
        return static_cast<quint16>(5 + r.below(9995)); // 0.05 .. 99.99 A
    case 1:
        return static_cast<quint16>(10 + r.below(9990)); // 1.0 .. 999.9 A
    default:
        return static_cast<quint16>(1 + r.below(1500)); // 1 .. 1500 A
    }
}

quint64 mix(quint64 seed, quint64 salt)
{
    SimRandom r(seed ^ (salt * 0xD6E8FEB86659FD93ull));
    return r.next();
}

quint8 xorOf(const char* data, int n)
{
    quint8 x = 0;
    for (int i = 0; i < n; ++i)
        x ^= static_cast<quint8>(data[i]);
    return x;
}

constexpr std::array<quint8, 5> StrayPattern{0x00, 0xFF, 0xA1, 0x3C, 0x5A};

} // namespace

std::vector<Record> generateRecords(int count, quint64 seed)
{
    std::vector<Record> out;
    count = std::clamp(count, 0, 255);
    out.reserve(static_cast<std::size_t>(count));
    SimRandom r(mix(seed, 0x5EC0));
    const quint32 rotate = r.below(3);
    for (int k = 0; k < count; ++k) {
        Record rec;
        rec.voltage = groundVoltage(r);
        // the codes take turns so that any three consecutive records show all of them
        rec.code = static_cast<quint8>((static_cast<quint32>(k) + rotate) % 3);
        rec.current = recordCurrent(r, rec.code);
        out.push_back(rec);
    }
    return out;
}

// ---- faults ----------------------------------------------------------------------------------

namespace {

// Command-line name and default argument of a fault.
struct FaultInfo
{
    FaultType type;
    const char* name;
    int defaultArg; // -1: takes no argument
};

constexpr std::array<FaultInfo, 11> FaultTable{{
    {FaultType::None, "none", -1},
    {FaultType::Silence, "silence", -1},
    {FaultType::DropEvery, "drop", 2},
    {FaultType::BadChecksum, "badcs", -1},
    {FaultType::StrayBytes, "stray", 3},
    {FaultType::Split, "split", 300},
    {FaultType::Truncate, "truncate", 1},
    {FaultType::ReplyF1, "f1", -1},
    {FaultType::Late, "late", 3000},
    {FaultType::RandomDrop, "randdrop", 1},
    {FaultType::RandomCorrupt, "randcorrupt", 1},
}};

std::optional<quint8> parseKind(QStringView text)
{
    if (text == u"block") return KindHistoryBlock;
    if (text == u"count") return KindRecordCount;
    if (text == u"probe") return KindProbe;
    if (text == u"realtime") return KindRealtime;
    bool ok = false;
    const int k = text.toInt(&ok, 0);
    if (!ok || k < 0 || k > 255) return std::nullopt;
    return static_cast<quint8>(k);
}

} // namespace

QString faultName(FaultType type)
{
    for (const auto& f : FaultTable)
        if (f.type == type) return QString::fromLatin1(f.name);
    return {};
}

std::optional<Fault> parseFault(QStringView text, QString* error)
{
    auto fail = [error](const QString& why) -> std::optional<Fault> {
        if (error) *error = why;
        return std::nullopt;
    };
    Fault fault;
    QStringView rest = text.trimmed();
    if (const qsizetype at = rest.indexOf(u'@'); at >= 0) {
        fault.onlyKind = parseKind(rest.mid(at + 1));
        if (!fault.onlyKind) return fail(QStringLiteral("bad request kind in \"%1\"").arg(text));
        rest = rest.left(at);
    }
    QStringView argText;
    const qsizetype colon = rest.indexOf(u':');
    if (colon >= 0) {
        argText = rest.mid(colon + 1);
        rest = rest.left(colon);
    }
    const auto info =
        std::find_if(FaultTable.begin(), FaultTable.end(),
                     [rest](const FaultInfo& f) { return rest == QLatin1String(f.name); });
    if (info == FaultTable.end()) return fail(QStringLiteral("unknown fault \"%1\"").arg(rest));
    fault.type = info->type;
    if (info->defaultArg < 0) {
        if (colon >= 0) return fail(QStringLiteral("fault \"%1\" takes no argument").arg(rest));
        return fault;
    }
    const bool random =
        fault.type == FaultType::RandomDrop || fault.type == FaultType::RandomCorrupt;
    if (random) {
        double percent = info->defaultArg;
        if (colon >= 0) {
            bool ok = false;
            percent = argText.toDouble(&ok);
            if (!ok || percent < 0 || percent > 100)
                return fail(QStringLiteral("bad percentage in \"%1\"").arg(text));
        }
        fault.probability = percent / 100.0;
        return fault;
    }
    fault.arg = info->defaultArg;
    if (colon >= 0) {
        bool ok = false;
        fault.arg = argText.toInt(&ok);
        const int least = fault.type == FaultType::Late ? 0 : 1;
        if (!ok || fault.arg < least || fault.arg > 600000)
            return fail(QStringLiteral("bad argument in \"%1\"").arg(text));
    }
    return fault;
}

// ---- the instrument --------------------------------------------------------------------------

Instrument::Instrument(SimConfig config)
    : config_(std::move(config)), faultRandom_(mix(config_.seed, 0xFA17))
{
    if (config_.records) {
        records_ = *config_.records;
        if (records_.size() > 255) records_.resize(255);
    } else {
        records_ = generateRecords(config_.recordCount, config_.seed);
    }
    faultCounters_.assign(config_.faults.size(), 0);
}

int Instrument::requestsSeen() const
{
    return std::accumulate(requestsSeen_.begin(), requestsSeen_.end(), 0);
}

QByteArray Instrument::replyFrame(quint8 kind, const QByteArray& payload)
{
    QByteArray f;
    f.reserve(payload.size() + 4);
    f.append(char(ReplyHeader));
    f.append(char(payload.size() + 2));
    f.append(char(kind));
    f.append(payload);
    f.append(char(xorOf(f.constData() + 1, int(f.size() - 1))));
    return f;
}

LiveValue Instrument::liveValue(quint64 index) const
{
    if (config_.live && !config_.live->empty())
        return (*config_.live)[index % config_.live->size()];
    // the line under the head changes every eight polls; the reading wanders around it
    SimRandom line(mix(config_.seed, 0x11E0000 + index / 8));
    const int base = TypicalGround[line.below(TypicalGround.size())];
    SimRandom poll(mix(config_.seed, 0x7011000000ull + index));
    const int spread = std::max(1, base * 4 / 100);
    const int v =
        base - spread + static_cast<int>(poll.below(static_cast<quint32>(2 * spread + 1)));
    LiveValue live;
    live.voltage = static_cast<quint16>(std::clamp(v, 0, 4000));
    live.code = static_cast<quint8>((index + config_.seed) % 3);
    live.current = static_cast<quint8>(poll.below(256));
    return live;
}

LiveValue Instrument::peekLive() const
{
    return liveValue(livePolls_);
}

QByteArray Instrument::genuineReply(quint8 kind, quint8 p1, quint8 p2)
{
    switch (kind) {
    case KindProbe:
        if (p1 != 0x55 || p2 != 0xAA) return {};
        return replyFrame(KindProbe, QByteArray("\x55\xAA", 2));
    case KindRealtime: {
        const LiveValue v = liveValue(livePolls_++);
        QByteArray p;
        p.append(char(v.voltage >> 8));
        p.append(char(v.voltage & 0xFF));
        p.append(char(v.current));
        p.append(char(v.code));
        return replyFrame(KindRealtime, p);
    }
    case KindRecordCount:
        return replyFrame(KindRecordCount, QByteArray(1, char(records_.size())));
    case KindHistoryBlock: {
        // The index names a block of ten: 1..9 the first, 10..19 the second, and so on.
        const std::size_t first = std::size_t(p1 / 10) * 10;
        const std::size_t stored = first < records_.size() ? records_.size() - first : 0;
        const std::size_t n = std::min<std::size_t>({stored, p2, MaxBlockRecords});
        QByteArray p;
        p.reserve(int(n * 5));
        for (std::size_t i = 0; i < n; ++i) {
            const Record& r = records_[first + i];
            p.append(char(r.voltage >> 8));
            p.append(char(r.voltage & 0xFF));
            p.append(char(r.current >> 8));
            p.append(char(r.current & 0xFF));
            p.append(char(r.code));
        }
        return replyFrame(KindHistoryBlock, p);
    }
    default:
        return {};
    }
}

std::vector<ReplyChunk> Instrument::applyFaults(quint8 kind, QByteArray reply)
{
    std::chrono::milliseconds delay = config_.turnaround;
    std::optional<std::chrono::milliseconds> gap;
    for (std::size_t i = 0; i < config_.faults.size(); ++i) {
        const Fault& f = config_.faults[i];
        if (f.onlyKind && *f.onlyKind != kind) continue;
        switch (f.type) {
        case FaultType::None:
            break;
        case FaultType::Silence:
            return {};
        case FaultType::DropEvery:
            if (++faultCounters_[i] % std::max(1, f.arg) == 0) return {};
            break;
        case FaultType::RandomDrop:
            if (faultRandom_.unit() < f.probability) return {};
            break;
        case FaultType::BadChecksum:
            reply[reply.size() - 1] = char(~static_cast<quint8>(reply.back()));
            break;
        case FaultType::RandomCorrupt:
            if (faultRandom_.unit() < f.probability) {
                const auto pos = faultRandom_.below(static_cast<quint32>(reply.size()));
                reply[pos] = char(static_cast<quint8>(reply[pos]) ^ (1u << faultRandom_.below(8)));
            }
            break;
        case FaultType::StrayBytes: {
            QByteArray stray;
            for (int k = 0; k < f.arg; ++k)
                stray.append(char(StrayPattern[std::size_t(k) % StrayPattern.size()]));
            reply.prepend(stray);
            break;
        }
        case FaultType::Split:
            gap = std::chrono::milliseconds(f.arg);
            break;
        case FaultType::Truncate:
            reply.chop(std::min<qsizetype>(f.arg, reply.size() - 1));
            break;
        case FaultType::ReplyF1:
            reply = replyFrame(KindRefused, {});
            break;
        case FaultType::Late:
            delay = std::chrono::milliseconds(f.arg);
            break;
        }
    }
    if (gap && reply.size() >= 2) {
        const qsizetype half = reply.size() / 2;
        return {{delay, reply.left(half)}, {delay + *gap, reply.mid(half)}};
    }
    return {{delay, reply}};
}

std::vector<ReplyChunk> Instrument::receive(const QByteArray& bytes)
{
    pending_.append(bytes);
    std::vector<ReplyChunk> out;
    qsizetype pos = 0;
    while (true) {
        const qsizetype head = pending_.indexOf(char(RequestHeader), pos);
        if (head < 0) {
            bytesDiscarded_ += int(pending_.size() - pos);
            pos = pending_.size();
            break;
        }
        bytesDiscarded_ += int(head - pos);
        pos = head;
        if (pending_.size() - pos < RequestSize) break; // wait for the rest
        const char* f = pending_.constData() + pos;
        if (static_cast<quint8>(f[1]) != 4 || xorOf(f + 1, 4) != static_cast<quint8>(f[5])) {
            // not a frame after all: this 0xA1 was noise, look for the next one
            ++bytesDiscarded_;
            ++pos;
            continue;
        }
        const auto kind = static_cast<quint8>(f[2]);
        const auto p1 = static_cast<quint8>(f[3]);
        const auto p2 = static_cast<quint8>(f[4]);
        pos += RequestSize;
        ++requestsSeen_[kind];
        const QByteArray reply = genuineReply(kind, p1, p2);
        if (reply.isEmpty()) continue;
        auto chunks = applyFaults(kind, reply);
        if (chunks.empty()) {
            ++repliesSuppressed_;
            continue;
        }
        ++repliesSent_;
        for (auto& c : chunks)
            out.push_back(std::move(c));
    }
    pending_.remove(0, pos);
    return out;
}

} // namespace tesvaron::sim
