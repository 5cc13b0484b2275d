#include "platform/FileChooser.h"

#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QFileDialog>
#include <QGridLayout>

void SaveChooserType::setAllowedType(const QStringList& extensions, const QString& description)
{
    m_extensions = extensions;
    m_description = description;
    emit allowedTypeChanged();
}

namespace {
QStringList nameFilters(const QStringList& extensions, const QString& typeDescription, bool allowsOtherFileTypes)
{
    QStringList filters;
    if (!extensions.isEmpty()) {
        QStringList patterns;
        for (const QString& extension : extensions)
            patterns.append(QStringLiteral("*.") + extension);
        const QString description = typeDescription.isEmpty() ? QFileDialog::tr("Files") : typeDescription;
        filters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    if (allowsOtherFileTypes)
        filters.append(QFileDialog::tr("All Files (*)"));
    return filters;
}

void applyType(QFileDialog* dialog, const QStringList& extensions, const QString& typeDescription,
               bool allowsOtherFileTypes, bool save)
{
    const QStringList filters = nameFilters(extensions, typeDescription, allowsOtherFileTypes);
    if (filters.isEmpty())
        return;
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.first());
    if (save)
        dialog->setDefaultSuffix(extensions.value(0));
}

QFileDialog* makeDialog(QWidget* window, const FileChooserOptions& options, bool save)
{
    auto* dialog = new QFileDialog(window, options.title);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog->setFileMode(QFileDialog::AnyFile);
    else
        dialog->setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    applyType(dialog, options.allowedExtensions, options.typeDescription, options.allowsOtherFileTypes, save);
    if (SaveChooserType* type = save ? options.saveType.data() : nullptr) {
        const bool others = options.allowsOtherFileTypes;
        QObject::connect(type, &SaveChooserType::allowedTypeChanged, dialog, [dialog, type, others] {
            applyType(dialog, type->allowedExtensions(), type->typeDescription(), others, true);
        });
    }
    if (!options.directory.isEmpty())
        dialog->setDirectory(options.directory);
    if (save && !options.suggestedName.isEmpty())
        dialog->selectFile(options.suggestedName);
    if (!options.prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, options.prompt);
    if (QWidget* accessory = options.accessory) {
        // Only the dialog of the toolkit itself can hold further controls.
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
            grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
        accessory->show();
    }
    return dialog;
}

void run(QWidget* window, const FileChooserOptions& options, bool save, std::function<void(const QStringList&)> done)
{
    QPointer<QWidget> accessory = options.accessory;
    QPointer<QWidget> accessoryParent = accessory ? accessory->parentWidget() : nullptr;
    QFileDialog* dialog = makeDialog(window, options, save);
    QPointer<QFileDialog> chooser(dialog);
    Sheet::Options sheetOptions;
    sheetOptions.deleteWhenEnded = true;
    Sheet::begin(dialog, window, [=](int code) {
        // The accessory goes back to its owner before the dialog is deleted.
        if (accessory) {
            accessory->hide();
            accessory->setParent(accessoryParent);
        }
        done(code == QDialog::Accepted && chooser ? chooser->selectedFiles() : QStringList{});
    }, std::move(sheetOptions));
}

class DialogFileChooser : public FileChooser {
public:
    void chooseFilesToOpen(QWidget* window, const FileChooserOptions& options, OpenCompletion completion) override
    {
        run(window, options, false, std::move(completion));
    }
    void chooseFileToSave(QWidget* window, const FileChooserOptions& options, SaveCompletion completion) override
    {
        run(window, options, true, [completion = std::move(completion)](const QStringList& paths) {
            completion(paths.isEmpty() ? QString() : paths.first());
        });
    }
};
} // namespace

FileChooser& FileChooser::production()
{
    static DialogFileChooser chooser;
    return chooser;
}

ScriptedFileChooser& ScriptedFileChooser::answerWith(const QStringList& paths)
{
    m_script.push_back(paths);
    return *this;
}

QStringList ScriptedFileChooser::nextAnswer()
{
    if (m_script.empty())
        return {};
    QStringList answer = m_script.front();
    m_script.pop_front();
    return answer;
}

void ScriptedFileChooser::chooseFilesToOpen(QWidget* window, const FileChooserOptions& options, OpenCompletion completion)
{
    requests.append({false, window, options, {}});
    MainQueue::post([completion = std::move(completion), paths = nextAnswer()] { completion(paths); });
}

void ScriptedFileChooser::chooseFileToSave(QWidget* window, const FileChooserOptions& options, SaveCompletion completion)
{
    requests.append({true, window, options, {}});
    QPointer<QObject> listener;
    if (SaveChooserType* type = options.saveType) {
        listener = new QObject(m_listeners.get());
        const qsizetype index = requests.size() - 1;
        QObject::connect(type, &SaveChooserType::allowedTypeChanged, listener, [this, index, type] {
            requests[index].allowedTypeChanges.append(type->allowedExtensions());
        });
    }
    const QStringList answer = nextAnswer();
    MainQueue::post([completion = std::move(completion), path = answer.value(0), listener] {
        delete listener.data();
        completion(path);
    });
}
