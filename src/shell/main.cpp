#include "shell/ApplicationShell.h"
#include "shell/QvRevertDocController.h"

#include "exchange/ExchangeInstall.h"
#include "platform/BuildConfig.h"
#include "platform/FreedMemory.h"
#include "platform/MainQueue.h"
#if CALVORIN_HAVE_EBOOK
#include "platform/EdsAddressBook.h"
#endif

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    // Before anything is allocated that could hold a contact.
    FreedMemory::restartWiping(argv);
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

    // Services the documents use are installed here, before any document opens.
    installExchangeManagers();
#if CALVORIN_HAVE_EBOOK
    AddressBook::setDesktopAddressBook(&edsAddressBook());
#endif

    QvRevertDocController controller;
    controller.registerContactsDocumentType();
    QObject::connect(&controller, &DocumentController::terminationApproved, &app, &QCoreApplication::quit);

    ApplicationShell shell(controller);
    // Documents named on the command line are the open-document requests of this platform.
    const QStringList files = parser.positionalArguments();
    MainQueue::post([&shell, files] { shell.launch(files); });
    return app.exec();
}
