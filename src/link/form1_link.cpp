// The window's side of the serial line: sending, receiving and the reply window.
#include "app/form1.h"

#include "link/traffic.h"
#include "panel/widgets.h"
#include "status/decoder.h"

namespace {
const QString kNoReply = QStringLiteral(" X X X X");
} // namespace

void Form1::Hyouji(const QString &data, quint8 mode)
{
    if (mode == 1) {
        // Characters that came while no reply window was open answer nothing we are about to
        // ask; a send that opens a window starts from an empty buffer. (A send while a window is
        // open, as during a hold, keeps what has arrived.)
        if (!Timer2->isEnabled())
            emptyReceiveBuffer();

        const QByteArray bytes = charsToBytes(data);
        const bool sent = MSComm1.output(bytes);
        Label11->setText(renderTraffic(bytesToChars(bytes)));
        if (!sent) {
            // Say plainly that nothing went out, so a closed port is never taken for a silent
            // projector. The reply window still runs as for any send.
            Label22->setText(MSComm1.portOpen()
                                 ? QStringLiteral(" COM%1 write failed").arg(MSComm1.commPort())
                                 : QStringLiteral(" COM%1 not open").arg(MSComm1.commPort()));
        }
        Timer2->setEnabled(true);
        AwaitingReply = 1;
        Timer4->setEnabled(true);
        return;
    }

    if (&data == &ReceiveBuffer) {
        if (Label12->revision() == rxdRevision_) {
            QString tokens;
            appendTraffic(tokens, QStringView(ReceiveBuffer).mid(rxdRendered_));
            Label12->appendText(tokens);
        } else {
            Label12->setText(renderTraffic(ReceiveBuffer));
        }
        rxdRendered_ = ReceiveBuffer.size();
        rxdRevision_ = Label12->revision();
    } else {
        Label12->setText(renderTraffic(data));
    }
    if (const auto text = status::decodeReply(LastCommand, Label12->text(), &PressureValue))
        Label22->setText(*text);
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1.commEvent() != SerialPort::Receive)
        return;
    appendReceived(bytesToChars(MSComm1.input()));
    AwaitingReply = 0;
    Hyouji(ReceiveBuffer, 2);
}

void Form1::Timer2_Timer()
{
    if (AwaitingReply == 1)
        Label12->setText(kNoReply);
    Timer2->setEnabled(false);
    emptyReceiveBuffer();
    AwaitingReply = 0;
}

void Form1::Timer4_Timer()
{
    Label11->setText(QString());
    Label12->setText(QString());
    Label22->setText(QString());
    Timer4->setEnabled(false);
}

void Form1::appendReceived(const QString &chars)
{
    const qsizetype room = kReceiveBufferLimit - ReceiveBuffer.size();
    if (room > 0)
        ReceiveBuffer += QStringView(chars).left(room);
}

void Form1::emptyReceiveBuffer()
{
    ReceiveBuffer.clear();
    rxdRendered_ = 0;
    rxdRevision_ = -1;
}
