#include "toolkit/QvAppSupportUtility.h"

#include "platform/Alert.h"
#include "platform/BuildConfig.h"
#include "platform/UrlOpener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

QUrl siteUrl(const QString& path)
{
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(QString::fromUtf8(CALVORIN_WEB_HOST));
    url.setPath(path);
    return url;
}

bool runNewerVersionAlert(const QString& message, const QString& informative)
{
    const Alert alert(message, informative, {QStringLiteral("Go to Download Last Version"), QStringLiteral("Cancel")},
                      Alert::WarningStyle);
    if (alert.runModal() != Alert::FirstButtonReturn)
        return false;
    QvAppSupportUtility::visitDravik();
    return true;
}

} // namespace

void QvAppSupportUtility::emailUs()
{
    UrlOpener::open(supportEmailUrl(operatingSystemName()));
}

void QvAppSupportUtility::visitUs()
{
    UrlOpener::open(homePageUrl());
}

void QvAppSupportUtility::visitDravikMajorUpgrade()
{
    UrlOpener::open(supportPageUrl());
}

void QvAppSupportUtility::visitAppUrl()
{
    UrlOpener::open(productPageUrl());
}

void QvAppSupportUtility::visitTwitter()
{
    UrlOpener::open(socialPageUrl());
}

QUrl QvAppSupportUtility::homePageUrl()
{
    return siteUrl(QStringLiteral("/"));
}

QUrl QvAppSupportUtility::supportPageUrl()
{
    return siteUrl(QStringLiteral("/support/"));
}

QUrl QvAppSupportUtility::productPageUrl()
{
    return siteUrl(QStringLiteral("/osx/calvorin"));
}

QUrl QvAppSupportUtility::socialPageUrl()
{
    return QUrl(QString::fromUtf8(CALVORIN_SOCIAL_URL), QUrl::StrictMode);
}

bool QvAppSupportUtility::sayFilecreatedWithANewerVersion()
{
    return runNewerVersionAlert(
        QStringLiteral("The document you requested to open was created with a more recent version of this application"),
        QStringLiteral("To open this file you need a release of this application equal or successive to the one used to "
                       "create this file.\n\nProbably you are using an outdated release.\nYou can download for free the "
                       "last version of this application from our site"));
}

bool QvAppSupportUtility::dataIn_ApplicationSupportFolder_CreatedWithANewerVersion()
{
    return runNewerVersionAlert(
        QStringLiteral("Data file the software tryed to open from the Application Support folder was created with a more "
                       "recent version of this application"),
        QStringLiteral("You need a release of this application equal or successive to the one used to create this data "
                       "file.\n\nPlease use a more recent version of this application"));
}

QString QvAppSupportUtility::calcReleaseString(qint64 releaseNumber)
{
    const QString digits = QString::number(releaseNumber);
    const qsizetype length = digits.size();
    if (length < 4)
        return QString();
    QString major;
    QString minor;
    QString patch;
    if (length == 4) {
        major = digits.mid(0, 1);
        minor = digits.mid(1, 1);
        patch = digits.mid(2, 2);
    } else {
        major = digits.left(length - 4);
        minor = digits.mid(length - 4, 2);
        if (minor.startsWith(QLatin1Char('0')))
            minor = minor.right(1);
        patch = digits.right(2);
        if (patch.startsWith(QLatin1Char('0')))
            patch = patch.right(1);
    }
    QString release = major + QLatin1Char('.') + minor + QLatin1Char('.') + patch;
    if (release.endsWith(QLatin1String(".0")))
        release.chop(2);
    return release;
}

QString QvAppSupportUtility::operatingSystemName()
{
    // On Linux the pretty product name is the distribution's PRETTY_NAME from os-release.
    const QString distribution = QSysInfo::prettyProductName().simplified();
    if (distribution.isEmpty())
        return QStringLiteral("Linux");
    return QStringLiteral("Linux ") + distribution;
}

QString QvAppSupportUtility::supportEmailSubject(const QString& systemName)
{
    return QStringLiteral("Support Request for %1 rel. %2 - %3")
        .arg(QLatin1String(kProductName), calcReleaseString(kReleaseNumber), systemName);
}

QUrl QvAppSupportUtility::supportEmailUrl(const QString& systemName)
{
    // Only unreserved characters stay as they are: "&", "?", "=", "#", line
    // ends and the rest are escaped and cannot start another header field.
    const QByteArray mailbox = QUrl::toPercentEncoding(QString::fromUtf8(CALVORIN_SUPPORT_EMAIL), "@");
    const QByteArray subject = QUrl::toPercentEncoding(supportEmailSubject(systemName));
    return QUrl::fromEncoded("mailto:" + mailbox + "?subject=" + subject, QUrl::StrictMode);
}

QStringList QvAppSupportUtility::userGuideDirectories()
{
    QStringList directories;
    const QString programDir = QCoreApplication::applicationDirPath();
    if (!programDir.isEmpty()) {
        directories.append(programDir);
        directories.append(QDir(programDir).filePath(QStringLiteral("../share/calvorin")));
    }
    for (const QString& dataDir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        directories.append(QDir(dataDir).filePath(QStringLiteral("calvorin")));
    return directories;
}

QString QvAppSupportUtility::userGuidePath(const QString& guideName, const QStringList& directories)
{
    const QString fileName = guideName + QStringLiteral(".pdf");
    for (const QString& directory : directories) {
        const QFileInfo candidate(QDir(directory).filePath(fileName));
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return QString();
}

bool QvAppSupportUtility::openUserGuide(const QString& guideName, const QStringList& directories)
{
    const QString path = userGuidePath(guideName, directories);
    if (path.isEmpty()) {
        // No guide has been installed with this build: say so rather than do nothing.
        Alert(QStringLiteral("The user guide is not available"),
              QStringLiteral("The file “%1.pdf” was not found among the files installed with this application.")
                  .arg(guideName),
              {QStringLiteral("OK")}, Alert::InformationalStyle)
            .runModal();
        return false;
    }
    return UrlOpener::open(QUrl::fromLocalFile(path));
}
