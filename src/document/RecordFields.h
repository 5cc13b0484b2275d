#pragma once
// The one-line fields of the record pane: the values shown in view mode and
// the line edits of edit mode. Both lay out the whole of what they hold, so a
// field of megabytes is shown by its beginning; the whole value stays in the
// record.

#include <QLabel>
#include <QLineEdit>

// A value of view mode, bound through "text": it shows the value's beginning,
// ended by an ellipsis when the value is longer than that.
class RecordValueLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    static constexpr qsizetype kShownLength = 2000;
    static constexpr qsizetype kShownLines = 40;
    static constexpr qsizetype kLongestRun = 40;

    explicit RecordValueLabel(QWidget* parent = nullptr);

    QString text() const { return QLabel::text(); }
    void setText(const QString& text);
    // Whether the value shown was longer than what the label shows.
    bool isCut() const { return m_cut; }

signals:
    void cutChanged(bool cut);

private:
    bool m_cut = false;
};

// A line edit of edit mode, bound through "text". A value too long to edit in
// a line is shown by its beginning and cannot be edited there, so that no edit
// writes the shortened text back; it is kept whole.
class RecordLineEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY lineTextChanged USER true)
public:
    static constexpr qsizetype kEditableLength = 10000;

    explicit RecordLineEdit(QWidget* parent = nullptr);

    QString text() const { return QLineEdit::text(); }
    void setText(const QString& text);
    bool isCut() const { return m_cut; }

signals:
    // QLineEdit::textChanged, under a name of this class's own for the property.
    void lineTextChanged(const QString& text);

private:
    bool m_cut = false;
};
