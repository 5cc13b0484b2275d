#include "toolkit/QvUrlResolutor.h"

#include "platform/Alert.h"
#include "platform/UrlOpener.h"
#include "toolkit/QvNetValidator.h"
#include "toolkit/QvStringUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include <optional>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("QvUrlResolutor", text);
}

// The address text as a URL, or nothing when it is not a valid one.
std::optional<QUrl> addressUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty())
        return std::nullopt;
    return url;
}

bool openAddressText(const QString& text)
{
    const std::optional<QUrl> url = addressUrl(text);
    return url && UrlOpener::open(*url);
}

// Mail programs attach the local files that a mail address names ("attach=",
// "attachment=") without the user choosing them. Field text may come from an
// imported file, so those parameters are dropped and the others kept as they
// are. Names are compared as a mail program may read them: decoded, "+" as a
// blank, blanks cut, in any case.
QUrl withoutAttachments(QUrl url)
{
    if (!url.hasQuery())
        return url;
    QStringList kept;
    for (const QString& item : url.query(QUrl::FullyEncoded).split(QLatin1Char('&'))) {
        QString name = item.section(QLatin1Char('='), 0, 0);
        name.replace(QLatin1Char('+'), QLatin1Char(' '));
        name = QUrl::fromPercentEncoding(name.toUtf8()).trimmed();
        if (!name.startsWith(QLatin1String("attach"), Qt::CaseInsensitive))
            kept.append(item);
    }
    url.setQuery(kept.isEmpty() ? QString() : kept.join(QLatin1Char('&')));
    return url;
}

// User and password inserted after "ftp://" when both are given, each
// percent-encoded so that a ":", "@" or "/" in them cannot change the address.
QString withCredentials(const QString& address, const QString& user, const QString& password)
{
    if (user.isEmpty() || password.isEmpty())
        return address;
    return QStringLiteral("ftp://%1:%2@%3")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(user)), QString::fromLatin1(QUrl::toPercentEncoding(password)),
             address.mid(6));
}

// Files that a handler would run rather than show.
bool isProgram(const QFileInfo& file)
{
    if (!file.isFile())
        return !file.isDir(); // devices, sockets and pipes are no documents either
    if (file.isExecutable() || file.fileName().endsWith(QStringLiteral(".desktop"), Qt::CaseInsensitive))
        return true;
    static const char* const programTypes[] = {
        "application/x-executable",   "application/x-sharedlib",          "application/x-shellscript",
        "application/x-desktop",      "application/x-ms-dos-executable", "application/x-msdownload",
        "application/x-msi",          "application/x-java-archive",      "application/vnd.appimage",
    };
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    for (const char* program : programTypes)
        if (type.inherits(QString::fromLatin1(program)))
            return true;
    return false;
}

} // namespace

QvUrlResolutor::QvUrlResolutor() : m_defaultProtocolType(QStringLiteral("http://")) {}

QvUrlResolutor& QvUrlResolutor::sharedUrlResolutor()
{
    static QvUrlResolutor* shared = new QvUrlResolutor;
    return *shared;
}

bool QvUrlResolutor::openUrl(const QString& address, const QString& user, const QString& password)
{
    switch (smartOpen(address, user, password)) {
    case Outcome::Opened:
        return true;
    case Outcome::Settled:
        return false;
    case Outcome::Failed:
        break;
    }
    return openWithDefaultProtocol(QvStringUtils::trimLateralSpace(address), user, password);
}

bool QvUrlResolutor::openWithDefaultProtocol(const QString& address, const QString& user, const QString& password)
{
    if (!QvStringUtils::spaceTrimmedNotEmpy(address))
        return false;
    return smartOpenUrl(m_defaultProtocolType + address, user, password);
}

bool QvUrlResolutor::smartOpenUrl(const QString& address, const QString& user, const QString& password)
{
    return smartOpen(address, user, password) == Outcome::Opened;
}

QvUrlResolutor::Outcome QvUrlResolutor::smartOpen(const QString& address, const QString& user,
                                                  const QString& password)
{
    const QString text = QvStringUtils::trimLateralSpace(address);
    if (text.isEmpty())
        return Outcome::Failed;
    const auto opened = [](bool yes) { return yes ? Outcome::Opened : Outcome::Failed; };
    if (text.startsWith(QStringLiteral("http://")))
        return opened(openHttp(text, user, password));
    if (text.startsWith(QStringLiteral("https://")))
        return opened(openHttps(text, user, password));
    if (text.startsWith(QStringLiteral("ftp://")))
        return opened(openFtp(text, user, password));
    if (text.startsWith(QStringLiteral("mailto:")))
        return opened(openMail(text, user, password));
    if (QvNetValidator::isValidEmail(text))
        return opened(openMail(QStringLiteral("mailto:") + text, user, password));
    if (text.startsWith(QStringLiteral("feed://")))
        return opened(openFeed(text, user, password));
    if (text.startsWith(QStringLiteral("file://")))
        return openFileOutcome(text);
    return Outcome::Failed;
}

bool QvUrlResolutor::openHttp(const QString& address, const QString&, const QString&)
{
    return openAddressText(address);
}

bool QvUrlResolutor::openHttps(const QString& address, const QString&, const QString&)
{
    return openAddressText(address);
}

bool QvUrlResolutor::openMail(const QString& address, const QString&, const QString&)
{
    const std::optional<QUrl> url = addressUrl(address);
    return url && UrlOpener::open(withoutAttachments(*url));
}

bool QvUrlResolutor::openFeed(const QString& address, const QString&, const QString&)
{
    return openAddressText(address);
}

bool QvUrlResolutor::openTelneet(const QString& address, const QString&, const QString&)
{
    return openAddressText(address);
}

bool QvUrlResolutor::openFtp(const QString& address, const QString& user, const QString& password)
{
    return openAddressText(withCredentials(address, user, password));
}

bool QvUrlResolutor::openFile(const QString& address, const QString&, const QString&)
{
    return openFileOutcome(address) == Outcome::Opened;
}

QvUrlResolutor::Outcome QvUrlResolutor::openFileOutcome(const QString& address)
{
    // The path is taken literally; a relative one would depend on the
    // program's working folder, which the user cannot see.
    const QString path = address.mid(7);
    if (!QDir::isAbsolutePath(path))
        return Outcome::Failed;
    const QFileInfo file(path);
    if (!file.exists())
        return Outcome::Failed;
    // Judge what a link leads to, and open that very file.
    const QFileInfo target(file.canonicalFilePath());
    if (isProgram(target)) {
        Alert(tr("“%1” was not opened.").arg(file.fileName()),
              tr("Addresses in a contact open documents and folders only, never programs or launchers."),
              {tr("OK")})
            .runModal();
        return Outcome::Settled;
    }
    const Alert confirm(tr("Open “%1”?").arg(file.fileName()),
                        tr("The address leads to %1 on this computer. Open it only if you trust where the "
                           "address came from.")
                            .arg(QDir::toNativeSeparators(path)),
                        {tr("Cancel"), tr("Open")});
    if (confirm.runModal() != Alert::SecondButtonReturn)
        return Outcome::Settled;
    return UrlOpener::open(QUrl::fromLocalFile(target.filePath())) ? Outcome::Opened : Outcome::Settled;
}

QString QvUrlResolutor::smartUrl(const QString& address, const QString& user, const QString& password, bool) const
{
    if (address.isNull())
        return QString();
    const QString text = QvStringUtils::trimLateralSpace(address);
    return text.startsWith(QStringLiteral("ftp://")) ? withCredentials(text, user, password) : text;
}
