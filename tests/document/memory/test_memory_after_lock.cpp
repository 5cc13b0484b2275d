// A locked document keeps nothing in clear: after contacts are typed in,
// shown, searched for, copied, saved and the document locked, no live
// object, stack, static data or freed block of the process holds their
// names, company, note, what was copied of them, the search text or the
// password, in any of the encodings text takes on the way. The process runs
// with the application's allocator settings (freed blocks filled) and
// nothing here wipes a block: the scan sees what the application would
// leave. Blocks freed on the way are also searched as they go: the
// document's own byte buffers (archives in clear, the password's bytes)
// must be wiped before they are freed, whatever the allocator does after.
#include "FreedBlocks.h"
#include "MemoryScan.h"
#include "test_document_fixture.h"

#include "encryption/PasswordSheet.h"
#include "platform/DocumentWindow.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/FreedMemory.h"
#include "platform/KeyedArchive.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

namespace {

// The texts looked for, each in the encodings it can take: UTF-8 (and lower
// case, as the search keeps it), UTF-16 in both byte orders, Latin-1.
struct Secret {
    const char* what;
    const char* utf8;
};
const Secret kSecrets[] = {
    {"first name", "Quiñobaldë"},
    {"last name", "Zürrgelmann"},
    {"note", "Wolkenkuckucksheim-Grünspecht"},
    {"password", "Passwort-Xylophon-9"}, // new passwords are plain ASCII
    {"company", "Hühnerbrühwerk"},
    {"second last name", "Fliederbüschl"},
    {"search text", "Zürrgelm"},
    {"copied value", "Kolibri-Schwärmerei"},
};
constexpr int kPasswordText = 3;
constexpr int kSearchText = 6;
constexpr int kCopiedValue = 7;

struct Needle {
    int secret;
    const char* form;
    QByteArray bytes;
};

std::vector<Needle> makeNeedles()
{
    std::vector<Needle> out;
    for (int i = 0; i < int(std::size(kSecrets)); ++i) {
        const QString text = QString::fromUtf8(kSecrets[i].utf8);
        const QString lower = text.toLower();
        QByteArray le(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QByteArray be = le;
        for (qsizetype k = 0; k + 1 < be.size(); k += 2)
            std::swap(be[k], be[k + 1]);
        out.push_back({i, "UTF-8", text.toUtf8()});
        if (lower != text)
            out.push_back({i, "UTF-8 lower case", lower.toUtf8()});
        out.push_back({i, "UTF-16LE", le});
        out.push_back({i, "UTF-16BE", be});
        out.push_back({i, "Latin-1", text.toLatin1()});
    }
    return out;
}

QString text(int secret) { return QString::fromUtf8(kSecrets[secret].utf8); }

class MemoryAfterLockTest : public ContactsDocumentTest {
protected:
    void SetUp() override
    {
        needles = makeNeedles();
        std::vector<FreedBlocks::Needle> watched;
        for (const Needle& n : needles)
            watched.push_back({n.bytes.constData(), std::size_t(n.bytes.size())});
        FreedBlocks::arm(watched);

        ContactsDocumentTest::SetUp();
        responder.setSheetHandler([this](QDialog* sheet, QWidget*) {
            if (auto* password = qobject_cast<PasswordSheet*>(sheet))
                passwordSheet = password;
        });
    }
    void TearDown() override
    {
        ContactsDocumentTest::TearDown();
        FreedBlocks::disarm();
    }

    void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(widget, key, modifiers);
        settle();
    }
    // Every character a key of its own, as a keyboard sends them.
    static void keys(QWidget* widget, const QString& what)
    {
        for (const QChar c : what) {
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    // Replaces a field's text by typing it.
    void typeText(const char* field, int secret)
    {
        QWidget* widget = window->findChild<QWidget*>(QLatin1String(field));
        ASSERT_NE(widget, nullptr) << field;
        QTest::mouseClick(widget, Qt::LeftButton);
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        keys(widget, text(secret));
        settle();
    }
    void clickToolbar(const char* command)
    {
        auto* button = qobject_cast<QToolButton*>(
            document->modernToolbar()->widgetForAction(window->command(QLatin1String(command))));
        ASSERT_NE(button, nullptr) << command;
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
    }
    void backToWindow()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    // Asks every widget of the window for its accessible name and value, as
    // a screen reader would, so that the accessibility cache is filled.
    void readAloud()
    {
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget)) {
                (void)a->text(QAccessible::Name);
                (void)a->text(QAccessible::Value);
            }
        }
    }
    void unlockByTyping()
    {
        QLineEdit* field = document->passwordToDecryptField();
        ASSERT_NE(field, nullptr);
        field->setFocus();
        keys(field, text(kPasswordText));
        QTest::keyClick(field, Qt::Key_Return);
        settle();
        ASSERT_FALSE(document->isEncrypted());
        ASSERT_EQ(document->myArray()->count(), 2);
        EXPECT_EQ(document->searchField()->text(), QString()) << "the search is back after the unlock";
    }
    // Types the search text key by key, leaving it in the field.
    void searchFor()
    {
        QLineEdit* search = document->searchField();
        search->setFocus();
        keys(search, text(kSearchText));
        settle();
        ASSERT_EQ(document->myArrayController()->arrangedCount(), 1);
    }
    // Copies what a widget of the window has selected with Ctrl+C, as the user does.
    void copySelected(QWidget* widget, const QString& expected)
    {
        ASSERT_NE(widget, nullptr);
        widget->setFocus();
        press(widget, Qt::Key_C, Qt::ControlModifier);
        const QMimeData* copied = clipboard.mimeData(QClipboard::Clipboard);
        ASSERT_TRUE(copied && copied->text() == expected);
    }
    // Selects the value the record pane shows under `name` and copies it.
    void copyShown(const char* name, int secret)
    {
        auto* label = window->findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        label->setSelection(0, int(label->text().size()));
        copySelected(label, text(secret));
    }
    void copySearch()
    {
        document->searchField()->selectAll();
        copySelected(document->searchField(), text(kSearchText));
    }

    // What the memory holds of the secrets, as "secret (form) in region at address: bytes around".
    QStringList held()
    {
        QStringList lines;
        std::vector<QByteArray> bytes;
        for (const Needle& n : needles)
            bytes.push_back(n.bytes);
        std::vector<MemoryScan::Hit> hits = MemoryScan::scan(bytes);
        // Text of Latin-1 letters in UTF-16 matches in both byte orders one
        // byte apart; such a pair is one copy, in the order its alignment tells.
        const auto pairedWith = [&](const MemoryScan::Hit& hit, const char* form, std::intptr_t shift) {
            for (const MemoryScan::Hit& other : hits) {
                const Needle& n = needles[other.needle];
                if (n.secret == needles[hit.needle].secret && std::string(n.form) == form
                    && std::intptr_t(other.address) == std::intptr_t(hit.address) + shift)
                    return true;
            }
            return false;
        };
        for (const MemoryScan::Hit& hit : hits) {
            const Needle& n = needles[hit.needle];
            const std::string form = n.form;
            if ((form == "UTF-16BE" && hit.address % 2 == 1 && pairedWith(hit, "UTF-16LE", 1))
                || (form == "UTF-16LE" && hit.address % 2 == 1 && pairedWith(hit, "UTF-16BE", -1)))
                continue;
            lines << QStringLiteral("%1 (%2) in %3 at 0x%4: %5")
                         .arg(QLatin1String(kSecrets[n.secret].what), QLatin1String(n.form), hit.region)
                         .arg(hit.address, 0, 16)
                         .arg(QString::fromLatin1(hit.around.toHex(' ')));
        }
        // The scan's own copies of what it found are no finding of a freed block.
        for (MemoryScan::Hit& hit : hits)
            explicit_bzero(hit.around.data(), std::size_t(hit.around.size()));
        return lines;
    }
    std::map<QString, int> heldCounts(const QStringList& lines)
    {
        std::map<QString, int> counts;
        for (const QString& line : lines)
            ++counts[line.section(QStringLiteral(" in "), 0, 0)];
        return counts;
    }

    std::vector<Needle> needles;
    MyDocument* document = nullptr;
    DocumentWindow* window = nullptr;
    QPointer<PasswordSheet> passwordSheet;
    QTemporaryDir dir;
};

} // namespace

TEST_F(MemoryAfterLockTest, NothingOfAContactOrThePasswordIsHeldOnceLocked)
{
#ifndef __SANITIZE_ADDRESS__
#if !defined(__has_feature) || !__has_feature(address_sanitizer)
    ASSERT_TRUE(FreedMemory::wiping()) << "the allocator does not fill freed blocks as the application's does";
#endif
#endif
    // The restart leaves no trace in what programs started from here inherit.
    EXPECT_FALSE(qgetenv("GLIBC_TUNABLES").contains("perturb"));
    // A new document, its password typed in its sheet.
    document = newDocument(false);
    window = document->window();
    window->resize(1000, 680);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    settle();
    ASSERT_TRUE(passwordSheet);
    keys(passwordSheet->newPasswordField(), text(kPasswordText));
    keys(passwordSheet->retypePasswordField(), text(kPasswordText));
    QTest::mouseClick(passwordSheet->confirmButton(), Qt::LeftButton);
    settle();
    ASSERT_EQ(document->plainPassword(), text(kPasswordText));
    backToWindow();

    // Two contacts typed in and shown, one searched for and read aloud; then saved.
    clickToolbar("addRow");
    typeText("edit_lastName", 5);
    typeText("edit_company", 4);
    press(window, Qt::Key_E, Qt::ControlModifier);
    clickToolbar("addRow");
    typeText("edit_firstName", 0);
    typeText("edit_lastName", 1);
    typeText("edit_note", 2);
    typeText("edit_emailWork", kCopiedValue);
    press(window, Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(window->findChild<QLabel*>("viewValue_note")->text().contains(text(2)));
    copyShown("viewValue_emailWork", kCopiedValue);
    searchFor();
    readAloud();
    const QString file = dir.filePath("memory.calvorin");
    ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(file), "calvorin", nullptr));
    document->setFileURL(QUrl::fromLocalFile(file));
    document->updateChangeCount(Document::ChangeCleared);
    settle();

    // The scan finds what is held while unlocked.
    const auto unlocked = heldCounts(held());
    for (const char* form : {"first name (UTF-16LE)", "last name (UTF-16LE)", "note (UTF-16LE)", "search text (UTF-16LE)",
                             "copied value (UTF-16LE)"})
        EXPECT_GT(unlocked.count(QLatin1String(form)), 0u) << form << " is not found while it is shown";

    const struct {
        const char* how;
        std::function<void()> lock;
    } locks[] = {
        {"locked by hand",
         [&] {
             responder.answerWithButton("OK");
             ASSERT_TRUE(window->perform("lockDocument"));
             settle();
         }},
        {"locked automatically",
         [&] {
             document->lockAutomatically();
             settle();
         }},
        {"locked by hand again",
         [&] {
             responder.answerWithButton("OK");
             ASSERT_TRUE(window->perform("lockDocument"));
             settle();
         }},
    };
    for (const auto& step : locks) {
        SCOPED_TRACE(step.how);
        if (document->isEncrypted()) {
            unlockByTyping();
            searchFor();
            copySearch();
            readAloud();
        }
        step.lock();
        ASSERT_TRUE(document->isEncrypted());
        EXPECT_EQ(document->searchField()->text(), QString());
        const QStringList lines = held();
        EXPECT_TRUE(lines.isEmpty()) << qPrintable(lines.join('\n'));
        // Undo histories keep text one key at a time, which no scan for whole words finds.
        for (const QLineEdit* field : window->findChildren<QLineEdit*>())
            EXPECT_FALSE(field->isUndoAvailable() || field->isRedoAvailable()) << field->objectName().toStdString();
    }

    // Blocks freed with a secret in them. Qt's own strings go unwiped (they
    // are counted when CALVORIN_SHOW_FREED is set); byte buffers of the
    // document's own, archives in clear, the password's bytes and the
    // search's lower-cased text of the records, are wiped.
    FreedBlocks::disarm();
    const bool show = qEnvironmentVariableIsSet("CALVORIN_SHOW_FREED");
    std::map<QString, int> freed;
    for (const FreedBlocks::Finding& f : FreedBlocks::findings()) {
        const Needle& n = needles[f.needle];
        const std::string form = n.form;
        const bool passwordBytes = n.secret == kPasswordText && (form == "UTF-8" || form == "Latin-1");
        const bool searchedText = form == "UTF-8 lower case" && n.secret != kPasswordText;
        ++freed[QStringLiteral("%1 (%2)").arg(QLatin1String(kSecrets[n.secret].what), QLatin1String(n.form))];
        if (!f.archive && !passwordBytes && !searchedText && !show)
            continue;
        std::string stack;
        for (const std::vector<char>& frame : FreedBlocks::describe(f))
            stack += std::string("\n  ") + frame.data();
        if (f.archive)
            ADD_FAILURE() << "an archive in clear (" << form << ") freed unwiped, by" << stack;
        else if (passwordBytes)
            ADD_FAILURE() << "the password's bytes (" << form << ") freed unwiped, by" << stack;
        else if (searchedText)
            ADD_FAILURE() << "the lower-cased text of " << kSecrets[n.secret].what << " freed unwiped, by" << stack;
        else
            std::printf("-- freed holding %s (%s), %zu bytes, by%s\n", kSecrets[n.secret].what, form.c_str(), f.blockSize,
                        stack.c_str());
    }
    for (const auto& [what, count] : freed)
        if (show)
            std::printf("freed holding %s: %d\n", qPrintable(what), count);
}

// The writer collects an archive's bytes in a buffer that grows as they come:
// each block it leaves behind held content in clear and is wiped first. Also
// past the tens of megabytes from which a block of the heap would grow by
// reallocation, which may move it and free the old place unwiped.
TEST(ArchiveWriterMemory, AGrowingArchiveLeavesNoCopyOfItsContentBehind)
{
    struct Case {
        int fillers;
        int noteLength; // of each filler's note: below the length of a string kept by reference
    };
    for (const Case& c : {Case{20000, 0}, Case{12000, 3000}}) {
        SCOPED_TRACE(c.fillers);
        const QString secrets[] = {text(0), text(2)}; // one stored as UTF-16, one as ASCII bytes
        const QByteArray forms[] = {[&] {
                                        QByteArray be(secrets[0].size() * 2, '\0');
                                        qToBigEndian<char16_t>(secrets[0].utf16(), secrets[0].size(), be.data());
                                        return be;
                                    }(),
                                    QByteArray("Wolkenkuckucksheim")};
        ArrayRef records = Array::create();
        records->addObject(Value(Dictionary::create({{"firstName", Value(secrets[0])}, {"note", Value("Wolkenkuckucksheim")}})));
        for (int i = 0; i < c.fillers; ++i)
            records->addObject(Value(Dictionary::create({{"firstName", Value(QStringLiteral("filler %1").arg(i))},
                                                         {"note", Value(QString(c.noteLength, QLatin1Char('a' + i % 26)) + QString::number(i))}})));

        FreedBlocks::arm({{forms[0].constData(), std::size_t(forms[0].size())}, {forms[1].constData(), std::size_t(forms[1].size())}});
        QByteArray archive;
        const bool archived = KeyedArchiver::archive(Value(records), archive);
        explicit_bzero(archive.data(), std::size_t(archive.size()));
        archive = QByteArray();
        FreedBlocks::disarm();
        ASSERT_TRUE(archived);
        for (const FreedBlocks::Finding& f : FreedBlocks::findings()) {
            std::string stack;
            for (const std::vector<char>& frame : FreedBlocks::describe(f))
                stack += std::string("\n  ") + frame.data();
            ADD_FAILURE() << "a block of " << f.blockSize << " bytes freed holding secret " << f.needle << ", by" << stack;
        }
    }
}

// A value is encrypted in its own buffer, which grows by the padding first
// when it has no room to spare: the block it leaves holds no plaintext.
TEST(CipherMemory, EncryptingInItsOwnBufferLeavesNoCopyOfThePlaintextBehind)
{
    const QByteArray needle("Wolkenkuckucksheim");
    for (const qsizetype size : {4000, 4001, 4015}) {
        QByteArray plain(size, Qt::Uninitialized); // allocated to the byte
        std::memset(plain.data(), '.', std::size_t(size));
        std::memcpy(plain.data() + 1000, needle.constData(), std::size_t(needle.size()));
        std::memcpy(plain.data() + size - 8, "Wolken", 6); // in the part of a block at the end
        QvCommonCrypto engine(QStringLiteral("secret"));

        FreedBlocks::arm({{needle.constData(), std::size_t(needle.size())}, {"Wolken", 6}});
        int status = -1;
        QByteArray sealed = engine.encrypt(std::move(plain), &status);
        FreedBlocks::disarm();
        ASSERT_EQ(status, 0);
        EXPECT_EQ(sealed.size(), size + 16 - size % 16);
        EXPECT_EQ(FreedBlocks::findings().size(), 0u) << "size " << size;
    }
}
