#include "exchange/ExchangeInstall.h"

#include "document/DocumentExchange.h"
#include "exchange/QvDataExportManager.h"

void installExchangeManagers()
{
    DocumentExchange exchange;

    // Text export.
    exchange.makeExportManager = [](const ArrayRef& dataArray, const ArrayRef& keyArray, QWidget* window) {
        return std::unique_ptr<DocumentExportManager>(new QvDataExportManager(dataArray, keyArray, window));
    };

    installDocumentExchange(std::move(exchange));
}
