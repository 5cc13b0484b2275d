#include "platform/FileChooser.h"

#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QFileDialog>
#include <QGridLayout>

namespace {
QString nameFilter(const FileChooserOptions& options)
{
    QStringList patterns;
    for (const QString& extension : options.allowedExtensions)
        patterns.append(QStringLiteral("*.") + extension);
    const QString description = options.typeDescription.isEmpty() ? QFileDialog::tr("Files") : options.typeDescription;
    return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QFileDialog* makeDialog(QWidget* window, const FileChooserOptions& options, bool save)
{
    auto* dialog = new QFileDialog(window, options.title);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog->setFileMode(QFileDialog::AnyFile);
    else
        dialog->setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!options.allowedExtensions.isEmpty()) {
        dialog->setNameFilter(nameFilter(options));
        if (save)
            dialog->setDefaultSuffix(options.allowedExtensions.first());
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
    requests.append({false, window, options});
    MainQueue::post([completion = std::move(completion), paths = nextAnswer()] { completion(paths); });
}

void ScriptedFileChooser::chooseFileToSave(QWidget* window, const FileChooserOptions& options, SaveCompletion completion)
{
    requests.append({true, window, options});
    const QStringList answer = nextAnswer();
    MainQueue::post([completion = std::move(completion), path = answer.value(0)] { completion(path); });
}
