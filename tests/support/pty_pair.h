#pragma once
// A pseudo-terminal linked as COM<n> in a private port-link folder, for tests that want a real
// serial device under the program.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tesvaron::test {

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    QString slavePath() const { return slave_; }
    int master() const { return master_; }
    // Writes from the instrument's side.
    bool send(const QByteArray& bytes);
    // Reads what the program wrote, waiting up to `ms` for at least `want` bytes.
    QByteArray receive(int want, int ms);

private:
    int master_ = -1;
    int keepSlave_ = -1; // keeps the master from seeing hang-up while the port is closed
    QString slave_;
};

// A port-link folder of its own, put in TESVARON_PORTS for this process.
class PortFolder
{
public:
    PortFolder();
    ~PortFolder();
    QString path() const { return dir_.path(); }
    bool link(int com, const QString& target);

private:
    QTemporaryDir dir_;
    QByteArray old_;
};

} // namespace tesvaron::test
