#pragma once
// The importer of contacts: the destinations are the contact fields, every
// row becomes a record made by the document's record list, and the document
// is told when the records are in its array.
//
// Destination index to record key: 0 "NO_IMPORT", 1 "" (both not imported),
// then from 2 the fields of the import field table, in its order
// ("categoryNAME", "firstName", ... "note"). The tools map field position j
// to destination 2 + j, its own index.
//
// Mapping of the framework names:
//   initWithDataArray:keyArray:window:dataArrayController:sender:  ->  the constructor

#include "document/FilteringArrayController.h"
#include "document/QvColoredCategoryArrayController.h"
#include "exchange/QvDataImportManager.h"

class FilteringArrayController;

class MyDataImportManager : public QvDataImportManager {
    Q_OBJECT
public:
    MyDataImportManager(const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget* window,
                        FilteringArrayController* dataArrayController, QvImporter* sender);
    // The reading thread calls the text hooks: it is done before this object goes.
    ~MyDataImportManager() override { waitForReading(); }

    FilteringArrayController* myDataArrayController() const { return m_myDataArrayController; }

    // A record of the list's defaults, with an empty "categoryNAME".
    DictionaryRef createNewObjectToImport() override;
    void preImportSettings() override;
    void didImport() override;

    static const QStringList& importFieldKeys();
    static const QStringList& destinationTitles();
    static const QString kCategoryName; // "categoryNAME"

protected:
    // The heading row's record was counted in its category when it was made.
    void recordWasLeftOut(const DictionaryRef& record) override;

private:
    QPointer<FilteringArrayController> m_myDataArrayController;
    DictionaryRef m_shape;
};
