#pragma once
// Opens the free text of a contact field as an address: a web, ftp, mail or
// feed address, a bare e-mail address, or a local file. Text that is not
// recognised is tried once more with the default protocol ("http://") in front.
//
// Field text may come from an imported file, so a file address opens only
// after the user confirms it, and never when it names a program or a desktop
// launcher, whatever the user would answer; a mail address never makes the
// mail program attach a file.
//
// Mapping of the framework names: `openUrl:`, `openUrl:withUser:` and
// `openUrl:withUser:withPassword:` are one member, openUrl(address, user,
// password), with user and password defaulting to ""; every other
// `openX:withUser:withPassword:` is openX(address, user, password);
// `smartUrl:withUser:withPassword:masked:` is smartUrl(address, user,
// password, masked). A null QString stands for an absent value. Addresses
// reach the user's handlers through UrlOpener; questions go through Alert.

#include <QString>

class QvUrlResolutor {
public:
    QvUrlResolutor();

    // Made on first use and kept for the life of the process; main thread only.
    static QvUrlResolutor& sharedUrlResolutor();

    QString defaultProtocolType() const { return m_defaultProtocolType; }
    void setDefaultProtocolType(const QString& protocol) { m_defaultProtocolType = protocol; }

    // Recognises and opens the address; when it is not opened, tries once more
    // with the default protocol in front of the address cut of its spaces. A
    // file address that reached the user, or was refused, is not tried again.
    bool openUrl(const QString& address, const QString& user = QString(), const QString& password = QString());
    // The default protocol followed by the address, recognised and opened. An
    // address of spaces only opens nothing.
    bool openWithDefaultProtocol(const QString& address, const QString& user, const QString& password);
    // Opens the address, cut of spaces (U+0020) at both ends, by its kind;
    // false for an absent, blank or unrecognised address.
    bool smartOpenUrl(const QString& address, const QString& user, const QString& password);

    // Open the address text as it is, when it is a valid address; the answer is
    // whether a handler took it. User and password are not used. A mail
    // address loses any parameter that would attach files ("attach=",
    // "attachment=", ...).
    bool openHttp(const QString& address, const QString& user, const QString& password);
    bool openHttps(const QString& address, const QString& user, const QString& password);
    bool openMail(const QString& address, const QString& user, const QString& password);
    bool openFeed(const QString& address, const QString& user, const QString& password);
    bool openTelneet(const QString& address, const QString& user, const QString& password);
    // Opens the ftp address with the credentials inserted (see smartUrl).
    bool openFtp(const QString& address, const QString& user, const QString& password);
    // Opens the file or folder at the path after "file://" (absolute, taken
    // literally) once the user confirms; refuses programs and launchers.
    // The answer is whether a handler took it.
    bool openFile(const QString& address, const QString& user, const QString& password);

    // The address for display: cut of spaces, and for ftp with the credentials
    // inserted when both are given, each percent-encoded. `masked` changes
    // nothing. Null for a null address.
    QString smartUrl(const QString& address, const QString& user, const QString& password, bool masked) const;

private:
    // Failed is worth the retry with the default protocol; Settled is not: the
    // file was refused, or the user has been asked about it.
    enum class Outcome { Opened, Failed, Settled };

    Outcome smartOpen(const QString& address, const QString& user, const QString& password);
    Outcome openFileOutcome(const QString& address);

    QString m_defaultProtocolType;
};
