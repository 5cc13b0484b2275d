#include "exchange/ExchangeInstall.h"

#include "document/DocumentExchange.h"
#include "exchange/MyDataImportManager.h"

void installExchangeManagers()
{
    DocumentExchange exchange;

    // Text import.
    exchange.makeImportManager = [](const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget* window,
                                    FilteringArrayController* dataArrayController,
                                    QvImporter* sender) -> std::unique_ptr<DocumentImportManager> {
        return std::make_unique<MyDataImportManager>(dataArray, keyArray, window, dataArrayController, sender);
    };
    // End of text import.

    installDocumentExchange(std::move(exchange));
}
