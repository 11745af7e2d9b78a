#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VORN"));
    QLabel placeholder(QStringLiteral("VORN"));
    placeholder.show();
    return app.exec();
}
