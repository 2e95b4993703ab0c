// SPDX-License-Identifier: MIT
// The command box after a long paste: what the panel's thread spends while the box has the
// focus and nothing happens (the cursor blinks), and how long one typed character takes to be
// taken and painted. The floor is the same with the box empty. A paste past the box's limit is
// refused, so the million-character rows show the box as it stays.
#include "clock.h"
#include "live_panel.h"
#include "sections.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QtTest>

namespace bench {

namespace {

constexpr int kIdleMs = 5000;
constexpr int kKeystrokes = 20;

struct BoxFigures
{
    qsizetype held = 0; // characters the box holds after the paste
    double idleCpu = 0; // % of a core
    std::vector<double> keystrokeMs;
};

BoxFigures measure(QLineEdit *box, qsizetype length)
{
    BoxFigures f;
    box->clear();
    // Pasted, as an operator would bring a long text in.
    QGuiApplication::clipboard()->setText(QString(length, QLatin1Char('A')));
    if (length > 0)
        QTest::keySequence(box, QKeySequence::Paste);
    f.held = box->text().size();
    runEventLoop(500); // painted, the blink running
    const qint64 cpu0 = threadCpuNs(), t0 = monoNs();
    runEventLoop(kIdleMs);
    f.idleCpu = 100.0 * double(threadCpuNs() - cpu0) / double(monoNs() - t0);
    for (int i = 0; i < kKeystrokes; ++i) {
        const bool add = i % 2 == 0; // a letter, then taken back
        const qint64 start = monoNs();
        QTest::keyClick(box, add ? Qt::Key_B : Qt::Key_Backspace);
        box->repaint();
        f.keystrokeMs.push_back(nsToMs(monoNs() - start));
        runEventLoop(20);
    }
    return f;
}

} // namespace

void measureLongBox(Bench &b)
{
    auto *box = qobject_cast<QLineEdit *>(b.control("command-text"));
    b.panel.window->activateWindow();
    box->setFocus();
    runEventLoop(200);
    const BoxFigures empty = measure(box, 0);
    for (const qsizetype length : {qsizetype(100000), qsizetype(1000000)}) {
        const BoxFigures f = measure(box, length);
        const QString name = QStringLiteral("CMD box, paste of %L1").arg(length);
        const QString key = QStringLiteral("long_box.%1").arg(length);
        const QString held = QStringLiteral("the box holds %L1 characters").arg(f.held);

        Figure idle(key + ".idle_cpu", name + QStringLiteral(": idle CPU, focused"), "% core",
                    Summary::single(f.idleCpu));
        idle.floor = Summary::single(empty.idleCpu);
        idle.floorLabel = "the same, box empty";
        idle.target = "<= 0.5";
        idle.met = f.idleCpu <= 0.5;
        idle.note = held;
        b.report.add(idle);

        Figure key_(key + ".keystroke", name + QStringLiteral(": keystroke to painted"), "ms",
                    Summary::of(f.keystrokeMs));
        key_.floor = Summary::of(empty.keystrokeMs);
        key_.floorLabel = "the same, box empty";
        // A tenth of a second is where a key starts to feel late.
        key_.target = "median <= 100";
        key_.met = key_.value.median <= 100;
        key_.note = held;
        b.report.add(key_);
    }
    box->clear();
}

} // namespace bench
