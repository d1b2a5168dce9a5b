// The baseline of the start-up benchmark: a bare Qt Widgets window of the
// wizard's size that says "ok 0" once it is shown, as the program's test build does.
#include <QApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(914, 509);
    // With --label the window also shows a line of text, so that fonts load.
    if (argc > 1 && QByteArray(argv[1]) == "--label")
        (new QLabel(QStringLiteral("Kromaglen"), &window))->move(10, 10);
    window.show();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            input.setEnabled(false);
        std::printf("ok 0\n");
        std::fflush(stdout);
    });
    return app.exec();
}
