#pragma once
// What the document needs of the text import and export, which live in a
// higher layer (src/exchange). The document declares the two managers it
// starts and one factory hook; src/exchange provides the managers and main
// (and the tests) install them with installDocumentExchange().
//
// Mapping of the framework names:
//   QvImporter (protocol), justFinishedImporting:  ->  QvImporter::justFinishedImporting()
//   myExportManager / myImportManager               ->  MyDocument keeps the DocumentExportManager /
//                                                      DocumentImportManager the factory made
//   [[QvDataExportManager alloc] initWithDataArray:keyArray:window:]
//                                                   ->  DocumentExchange::makeExportManager
//   [[MyDataImportManager alloc] initWithDataArray:keyArray:window:dataArrayController:sender:]
//                                                   ->  DocumentExchange::makeImportManager

#include "platform/Value.h"

#include <functional>
#include <memory>

class FilteringArrayController;
class QString;
class QWidget;

// The requester of an import: told once the importer has appended its records
// to the end of the data array, behind the record list's back (the list then
// tells them apart as the objects it has not arranged yet).
class QvImporter {
public:
    virtual ~QvImporter() = default;
    virtual void justFinishedImporting() = 0;
};

// A text export as the document starts it; the manager shows its sheets on the window it was
// made with and writes the file.
class DocumentExportManager {
public:
    virtual ~DocumentExportManager() = default;
    virtual void setSuggestedFileName(const QString& name) = 0;
    virtual void run(QObject* sender) = 0;
};

// A text import as the document starts it; the manager appends the records it makes to the data
// array it was made with, then tells its requester.
class DocumentImportManager {
public:
    virtual ~DocumentImportManager() = default;
    virtual void loadDataForWin(QWidget* window) = 0;
};

struct DocumentExchange {
    std::function<std::unique_ptr<DocumentExportManager>(const ArrayRef& dataArray, const ArrayRef& keyArray,
                                                         QWidget* window)>
        makeExportManager;
    std::function<std::unique_ptr<DocumentImportManager>(const ArrayRef& dataArray, const ArrayRef& keyArray,
                                                         QWidget* window,
                                                         FilteringArrayController* dataArrayController,
                                                         QvImporter* sender)>
        makeImportManager;
};

// Replaces the factories (either may be empty: that command then does nothing).
void installDocumentExchange(DocumentExchange exchange);
const DocumentExchange& documentExchange();
