// Which commands each situation offers.

#include "app/command_states.h"
#include "tests/support/data.h"

#include <QTest>

using namespace tesvaron;

class TestCommandStates : public QObject
{
    Q_OBJECT
private slots:
    void table()
    {
        // Per situation, in the order Situation lists them, what each command does.
        const QList<QStringList> rows = test::tableRows("command-states");
        QCOMPARE(rows.size(), int(Situation::InstrumentLost) + 1);
        for (int s = 0; s < rows.size(); ++s) {
            QStringList got;
            for (const bool realMode : {true, false}) {
                for (const bool found : {true, false}) {
                    const CommandSet c = commandsFor(Situation(s), realMode, found);
                    QString text;
                    for (const Switch sw : {c.read, c.save, c.clear, c.print, c.help, c.tabs})
                        text += "k01m"[int(sw)];
                    got << text;
                }
            }
            QCOMPARE(got.join(' '), rows[s][1]);
        }
    }
};

QTEST_APPLESS_MAIN(TestCommandStates)
#include "test_command_states.moc"
