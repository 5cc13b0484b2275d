#include "document/MyDocument.h"
#include "platform/BuildConfig.h"
#include "platform/DocumentController.h"
#include "platform/MainQueue.h"
#if CALVORIN_HAVE_EBOOK
#include "platform/EdsAddressBook.h"
#endif

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Calvorin"));
    QApplication::setOrganizationName(QStringLiteral("Calvorin"));
    QApplication::setApplicationVersion(QStringLiteral(CALVORIN_VERSION_STRING));
    QGuiApplication::setDesktopFileName(QStringLiteral("calvorin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QApplication::translate("main", "Password-protected address book."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QApplication::translate("main", "Documents to open."),
                                 QStringLiteral("[files...]"));
    parser.process(app);

#if CALVORIN_HAVE_EBOOK
    AddressBook::setDesktopAddressBook(&edsAddressBook());
#endif

    DocumentController controller;
    controller.registerDocumentType(QStringLiteral("calvorin"), QStringLiteral("Calvorin Document"),
                                    {QStringLiteral("calvorin")}, [] { return new MyDocument; });
    QObject::connect(&controller, &DocumentController::terminationApproved, &app, &QCoreApplication::quit);

    // Documents named on the command line are the open-document requests of
    // this platform; without any, or when none could be opened, a new one.
    const QStringList files = parser.positionalArguments();
    MainQueue::post([&controller, files] {
        controller.openDocumentsFromCommandLine(files);
        if (controller.documents().isEmpty())
            controller.newDocument();
    });
    return app.exec();
}
