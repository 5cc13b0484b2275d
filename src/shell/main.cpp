#include "document/MyDocument.h"
#include "platform/DocumentController.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Calvorin"));
    QApplication::setOrganizationName(QStringLiteral("Calvorin"));

    DocumentController controller;
    controller.registerDocumentType(QStringLiteral("calvorin"), QStringLiteral("Calvorin Document"),
                                    {QStringLiteral("calvorin")}, [] { return new MyDocument; });
    QObject::connect(&controller, &DocumentController::terminationApproved, &app, &QCoreApplication::quit);

    const QStringList files = app.arguments().mid(1);
    if (files.isEmpty())
        controller.newDocument();
    else
        controller.openDocumentsFromCommandLine(files);
    return app.exec();
}
