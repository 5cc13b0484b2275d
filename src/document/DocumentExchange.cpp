#include "document/DocumentExchange.h"

namespace {
DocumentExchange& installed()
{
    static DocumentExchange exchange;
    return exchange;
}
} // namespace

void installDocumentExchange(DocumentExchange exchange)
{
    installed() = std::move(exchange);
}

const DocumentExchange& documentExchange()
{
    return installed();
}
