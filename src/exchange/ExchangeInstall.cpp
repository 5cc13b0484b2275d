#include "exchange/ExchangeInstall.h"

#include "document/DocumentExchange.h"
#include "exchange/MyDataImportManager.h"
#include "exchange/QvDataExportManager.h"

void installExchangeManagers()
{
    DocumentExchange exchange;

    // Text export.
    exchange.makeExportManager = [](const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget* window) {
        return std::unique_ptr<DocumentExportManager>(new QvDataExportManager(dataArray, keyArray, window));
    };

    // Text import.
    exchange.makeImportManager = [](const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget* window,
                                    FilteringArrayController* dataArrayController,
                                    QvImporter* sender) -> std::unique_ptr<DocumentImportManager> {
        return std::make_unique<MyDataImportManager>(dataArray, keyArray, window, dataArrayController, sender);
    };

    installDocumentExchange(std::move(exchange));
}
