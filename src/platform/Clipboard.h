#pragma once
#include "platform/Seam.h"

#include <QString>

// The general clipboard, for plain text.
//
//   [[NSPasteboard generalPasteboard] declareTypes:@[NSStringPboardType] owner:nil];
//   [pb setString:s forType:NSStringPboardType]   ->  Clipboard::setText(s)
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setClipboardText(const QString& text) = 0;
    virtual QString clipboardText() const = 0;

    static void setText(const QString& text) { Seam<Clipboard>::current().setClipboardText(text); }
    static QString text() { return Seam<Clipboard>::current().clipboardText(); }
    static Clipboard& production();
};

// For tests: a clipboard of the test's own, so that tests never touch the user's.
class MemoryClipboard : public Clipboard {
public:
    MemoryClipboard() : m_install(this) {}
    void setClipboardText(const QString& text) override
    {
        m_text = text;
        ++writes;
    }
    QString clipboardText() const override { return m_text; }

    int writes = 0;

private:
    QString m_text;
    ScopedSeam<Clipboard> m_install;
};
