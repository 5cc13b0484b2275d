// Text export: the exporter of the installed hook, over the document's own records.
#include "document/MyDocument.h"

void MyDocument::exportToText()
{
    const DocumentExchange& exchange = documentExchange();
    if (!exchange.makeExportManager)
        return;
    m_myExportManager = exchange.makeExportManager(m_myArray, m_arrayForExport, myWindow());
    if (!m_myExportManager)
        return;
    QString name = displayName();
    if (name.endsWith(QLatin1String(".calvorin")))
        name.chop(int(sizeof(".calvorin")) - 1);
    m_myExportManager->setSuggestedFileName(tr("%1 Export").arg(name));
    m_myExportManager->run(this);
}
