#pragma once
#include <QPlainTextEdit>

// A multi-line field of the record pane (addresses, the note) whose text can
// be bound like a line edit's: "text" announces the user's edits only.
class RecordTextEdit : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textEdited USER true)
public:
    explicit RecordTextEdit(QWidget* parent = nullptr);

    QString text() const { return toPlainText(); }
    // Shows a text without announcing it as an edit; the same text leaves the cursor alone.
    void setText(const QString& text);

signals:
    void textEdited(const QString& text);

private:
    bool m_settingText = false;
};
