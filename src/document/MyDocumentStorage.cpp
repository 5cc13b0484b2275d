// Reading, writing, unlocking and locking, until the document file format is in place:
// documents can be made and edited, but neither written nor read.
#include "document/MyDocument.h"

bool MyDocument::readFromData(const QByteArray&, const QString&, QString* error)
{
    if (error)
        *error = tr("This version cannot read contacts documents.");
    return false;
}

std::optional<QByteArray> MyDocument::dataOfType(const QString&, QString* error)
{
    if (error)
        *error = tr("This version cannot write contacts documents.");
    return std::nullopt;
}

bool MyDocument::encryptData()
{
    return false;
}

int MyDocument::Decript()
{
    return 1;
}

int MyDocument::decryptDone()
{
    return 1;
}

void MyDocument::lockDocument() {}

void MyDocument::lockAutomatically() {}

void MyDocument::doLockDocument() {}
