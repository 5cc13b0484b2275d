#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Calvorin"));
    QApplication::setOrganizationName(QStringLiteral("Calvorin"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Calvorin"));
    window.resize(800, 560);
    window.show();
    return app.exec();
}
