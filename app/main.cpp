#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("KromaglenForZov"));
    window.setWindowTitle(QStringLiteral("Kromaglen"));
    window.resize(914, 560);
    window.show();
    return app.exec();
}
