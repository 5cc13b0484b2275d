#pragma once
// TEMPORARY: stands in for the contacts document until that exists, so that the
// application can start, open a document file and show a window for it. It
// shows the file's name and size, and writes back exactly the bytes it read.
// Delete this file pair and its registration in main.cpp once the contacts
// document type is registered instead.
#include "platform/Document.h"

class DocumentController;

class PlaceholderDocument : public Document {
    Q_OBJECT
public:
    bool readFromData(const QByteArray& data, const QString& typeName, QString* error) override;
    std::optional<QByteArray> dataOfType(const QString& typeName, QString* error) override;

protected:
    void windowControllerDidLoadNib(DocumentWindow* window) override;

private:
    std::optional<QByteArray> m_contents;
};

// Registers the "calvorin" document type with the placeholder as its document.
void registerPlaceholderDocumentType(DocumentController& controller);
