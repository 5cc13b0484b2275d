#include "shell/PlaceholderDocument.h"

#include "platform/DocumentController.h"

#include <QLabel>
#include <QLocale>
#include <QToolBar>
#include <QVBoxLayout>

bool PlaceholderDocument::readFromData(const QByteArray& data, const QString&, QString*)
{
    m_contents = data;
    return true;
}

std::optional<QByteArray> PlaceholderDocument::dataOfType(const QString&, QString* error)
{
    // A new placeholder has no contents that a contacts document could read.
    if (!m_contents && error)
        *error = tr("This build cannot create contacts documents yet.");
    return m_contents;
}

void PlaceholderDocument::windowControllerDidLoadNib(DocumentWindow* window)
{
    auto* central = new QWidget(window);
    auto* layout = new QVBoxLayout(central);
    auto* name = new QLabel(central);
    QFont large = name->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    name->setFont(large);
    auto* details = new QLabel(central);
    details->setWordWrap(true);
    for (QLabel* label : {name, details}) {
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
    }
    layout->addStretch();
    layout->addWidget(name);
    layout->addWidget(details);
    layout->addStretch();
    window->setCentralWidget(central);

    auto show = [this, name, details] {
        name->setText(displayName());
        details->setText(m_contents ? tr("%1 of encrypted contacts. This build does not open them yet.")
                                          .arg(QLocale().formattedDataSize(m_contents->size()))
                                    : tr("A new, empty document."));
    };
    show();
    connect(this, &Document::fileURLChanged, details, show);

    for (const char* name : {"newDocument", "openDocument", "saveDocument"})
        if (QAction* action = window->command(QLatin1String(name)))
            window->toolbar()->addAction(action);
}

void registerPlaceholderDocumentType(DocumentController& controller)
{
    controller.registerDocumentType(QStringLiteral("calvorin"), QObject::tr("Calvorin Document"),
                                    {QStringLiteral("calvorin")}, [] { return new PlaceholderDocument; });
}
