#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {
class SystemClipboard : public Clipboard {
public:
    void setClipboardText(const QString& text) override { QGuiApplication::clipboard()->setText(text); }
    QString clipboardText() const override { return QGuiApplication::clipboard()->text(); }
};
} // namespace

Clipboard& Clipboard::production()
{
    static SystemClipboard clipboard;
    return clipboard;
}
