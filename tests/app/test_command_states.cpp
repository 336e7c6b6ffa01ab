// Which commands each situation offers.

#include "app/command_states.h"

#include <QTest>

using namespace tesvaron;

class TestCommandStates : public QObject
{
    Q_OBJECT
private slots:
    void table()
    {
        // Per situation, for (realtime, found) (realtime, not found) (history, found)
        // (history, not found): Read Save Clear Print Help Tabs, as k(eep) 0 1 m(enu only).
        const struct
        {
            Situation s;
            const char* expected;
        } rows[] = {
            {Situation::Startup, "01m111 01m111 01m111 01m111"},
            {Situation::RealtimeView, "01011k 01011k 01011k 01011k"},
            {Situation::HistoryView, "11111k k1111k 11111k k1111k"},
            {Situation::Downloading, "000000 000000 000000 000000"},
            {Situation::DownloadDone, "011111 011111 111111 111111"},
            {Situation::ExchangeFailed, "010111 010111 111111 k11111"},
            {Situation::InstrumentFound, "mkkkkk mkkkkk 1kkkkk 1kkkkk"},
            {Situation::InstrumentLost, "0kkkkk 0kkkkk 0kkkkk 0kkkkk"},
        };
        for (const auto& row : rows) {
            QStringList got;
            for (const bool realMode : {true, false}) {
                for (const bool found : {true, false}) {
                    const CommandSet c = commandsFor(row.s, realMode, found);
                    QString text;
                    for (const Switch sw : {c.read, c.save, c.clear, c.print, c.help, c.tabs})
                        text += "k01m"[int(sw)];
                    got << text;
                }
            }
            QCOMPARE(got.join(' '), QString::fromLatin1(row.expected));
        }
    }
};

QTEST_APPLESS_MAIN(TestCommandStates)
#include "test_command_states.moc"
