#pragma once
#include <QPlainTextEdit>
#include <QPointer>

class QLabel;
class QToolButton;

// A multi-line field of the record pane (addresses, the note) whose text can
// be bound like a line edit's: "text" announces the user's edits only.
//
// A text edit lays out every line it holds, and a line of megabytes as a
// whole; a text longer than kPartLength is therefore shown one part at a time,
// with a bar under the text to move between the parts. An edit changes the
// part on show and keeps the rest of the text as it was.
class RecordTextEdit : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textEdited USER true)
public:
    static constexpr qsizetype kPartLength = 10000;

    explicit RecordTextEdit(QWidget* parent = nullptr);

    // The whole text, also the parts not on show.
    QString text() const;
    // Shows a text without announcing it as an edit; the same text leaves the cursor alone.
    void setText(const QString& text);

    // Where the part on show lies in the whole text; all of it for a short text.
    qsizetype partStart() const { return m_parted ? m_start : 0; }
    qsizetype partLength() const { return m_parted ? m_length : toPlainText().size(); }
    bool isParted() const { return m_parted; }
    void showNextPart();
    void showPreviousPart();

signals:
    void textEdited(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPart(qsizetype start, qsizetype length);
    void updatePartBar();
    void placePartBar();

    bool m_settingText = false;
    // A long text is held here whole; the editor holds the part [m_start, m_start + m_length).
    bool m_parted = false;
    QString m_whole;
    qsizetype m_start = 0;
    qsizetype m_length = 0;
    QPointer<QWidget> m_partBar;
    QLabel* m_partLabel = nullptr;
    QToolButton* m_previousButton = nullptr;
    QToolButton* m_nextButton = nullptr;
};
