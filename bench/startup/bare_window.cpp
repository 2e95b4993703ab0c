// SPDX-License-Identifier: MIT
// The floor of start-up: a bare Qt window holding as many buttons and labels as the panel holds
// widgets, with nothing behind it. Usage: odra-bench-bare-window COUNT
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion")); // as the panel does
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 130;

    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    constexpr int kColumns = 10, kWidth = 70, kHeight = 24;
    for (int i = 0; i < count; ++i) {
        const QString text = QStringLiteral("W%1").arg(i);
        QWidget *w = i % 2 ? static_cast<QWidget *>(new QLabel(text, &window))
                           : new QPushButton(text, &window);
        w->setGeometry((i % kColumns) * kWidth, (i / kColumns) * kHeight, kWidth - 2, kHeight - 2);
    }
    window.setFixedSize(kColumns * kWidth, ((count + kColumns - 1) / kColumns) * kHeight);
    window.show();
    return QApplication::exec();
}
