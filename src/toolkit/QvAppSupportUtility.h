#pragma once
#include <QString>
#include <QStringList>
#include <QUrl>

// Everything that reaches outside the application on the user's behalf: the
// support e-mail, the maker's web pages, the user guide, the alert that a file
// comes from a newer release, and the dotted text of a release number.
// Stateless; main thread only.
//
// The commands drop the ignored sender argument of their selectors
// (visitUs: -> visitUs()). Addresses and files are opened through UrlOpener,
// alerts run through Alert, so tests answer and record both.
class QvAppSupportUtility
{
public:
    // The application's own release number: major, two digits of minor, two of patch.
    static constexpr qint64 kReleaseNumber = 30602;
    static constexpr const char* kProductName = "Calvorin";

    // Opens a new support e-mail in the user's mail program.
    static void emailUs();
    static void emailDravik() { emailUs(); }
    // The maker's home page.
    static void visitUs();
    static void visitDravik() { visitUs(); }
    // The maker's support page.
    static void visitDravikMajorUpgrade();
    // The product page.
    static void visitAppUrl();
    // The maker's social-media page.
    static void visitTwitter();
    // There is no store on this system: neither opens anything.
    static void openAppStoreList() {}
    static void openAppStorePage() {}

    // The warning that a document comes from a newer release. True only when
    // the user chose to go to the download page, which is then already open.
    static bool sayFilecreatedWithANewerVersion();
    static bool dataIn_ApplicationSupportFolder_CreatedWithANewerVersion();

    // 30602 -> "3.6.2", 30600 -> "3.6", 1234 -> "1.2.34"; "" below four digits.
    static QString calcReleaseString(qint64 releaseNumber);

    // The pages, from the build settings.
    static QUrl homePageUrl();
    static QUrl supportPageUrl();
    static QUrl productPageUrl();
    static QUrl socialPageUrl();

    // The running system as the support subject names it: "Linux" and the
    // distribution's name ("Linux Debian GNU/Linux 12 (bookworm)").
    static QString operatingSystemName();
    static QString supportEmailSubject(const QString& systemName);
    // The mailto address with every character of the subject that is not
    // unreserved percent-encoded, so that no text can add a header field.
    static QUrl supportEmailUrl(const QString& systemName);

    // The user guide ("Calvorin User Guide.pdf") is looked for in these folders:
    // beside the program, then in the application's data folders.
    static QStringList userGuideDirectories();
    static QString userGuidePath(const QString& guideName, const QStringList& directories = userGuideDirectories());
    // Opens the guide in the user's PDF viewer; when it is missing, tells the
    // user so. True when it was handed to the viewer.
    static bool openUserGuide(const QString& guideName, const QStringList& directories = userGuideDirectories());
};
