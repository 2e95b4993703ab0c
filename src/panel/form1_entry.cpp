// The command box: any text, sent as typed.
#include "app/form1.h"

#include "panel/commands.h"

#include <QLineEdit>

void Form1::Command95_Click()
{
    Timer2->setInterval(panel::kCommandEntryReplyTimeout);
    Timer4->setInterval(panel::kCommandEntryDisplayClear);
    // Exactly as typed: no trimming, no change of case, any length.
    LastCommand = Text1->text() + QLatin1Char('\r');
    Hyouji(LastCommand, 1);
}

void Form1::Command96_Click() { Text1->clear(); }
