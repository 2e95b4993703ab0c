// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class QEventLoop;

namespace bench {

// The projector's end of a pseudo-terminal. A thread of its own reads it and stamps every chunk
// on arrival, so that no time stamp ever waits for the panel's event loop; it can answer a
// query the instant it is complete.
class FarEnd
{
public:
    FarEnd();
    ~FarEnd();
    FarEnd(const FarEnd &) = delete;
    FarEnd &operator=(const FarEnd &) = delete;

    bool isValid() const { return master_ >= 0; }
    // The device the panel opens.
    QString devicePath() const { return path_; }
    // Our own descriptor of the device side: a floor writes through it as the panel would.
    int deviceFd() const { return slave_; }
    // The far end's own side, for writing towards the panel.
    int masterFd() const { return master_; }

    // One command seen at the far end: its bytes up to and including CR, and the arrival time
    // of its first byte.
    struct Command
    {
        QByteArray bytes;
        qint64 ns;
    };
    std::vector<Command> commands() const;
    qsizetype receivedCount() const { return received_.load(); }
    // Forgets everything received so far.
    void clear();

    // Keeps the calling thread's event loop turning until count bytes in all have arrived, or
    // the time is up. The reader thread ends the wait; nothing polls.
    bool waitForCount(qsizetype count, int timeoutMs);

    // When the bytes received end with query, the reader thread writes reply at once and notes
    // the time just before the write. setAutoReply answers that query alone; addAutoReply
    // answers it too, besides the others (a query given again gets its new reply).
    void setAutoReply(const QByteArray &query, const QByteArray &reply);
    void addAutoReply(const QByteArray &query, const QByteArray &reply);
    std::vector<qint64> replyTimes() const;

private:
    struct Chunk
    {
        qint64 ns;
        qsizetype offset;
    };
    void readLoop();

    int master_ = -1;
    int slave_ = -1;
    int stopPipe_[2] = {-1, -1};
    QString path_;
    std::thread reader_;

    mutable std::mutex mutex_;
    QByteArray bytes_;
    std::vector<Chunk> chunks_;
    std::vector<std::pair<QByteArray, QByteArray>> autoReplies_; // query, reply
    std::vector<qint64> replies_;
    qsizetype awaited_ = 0;
    QEventLoop *waiting_ = nullptr;
    std::atomic<qsizetype> received_{0};
};

} // namespace bench
