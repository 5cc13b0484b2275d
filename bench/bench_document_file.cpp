// Saving, opening and unlocking documents of 1,000 to 1,000,000 records, beside
// the cipher alone on the same bytes (the floor of each step), measured in the
// same run. "peak_MB" is the process's peak resident memory while the step
// runs, with what it starts from (the content, or the file's bytes).
#include "document/DocumentFile.h"
#include "document/DocumentUnlock.h"
#include "document/MyDocument.h"
#include "encryption/QvCommonCrypto.h"

#include "peak_memory.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

namespace {

const QString kPassword = QStringLiteral("correct horse battery");

DictionaryRef colour(double r, double g, double b)
{
    return Dictionary::create({{QStringLiteral("r"), Value::real(r)},
                               {QStringLiteral("g"), Value::real(g)},
                               {QStringLiteral("b"), Value::real(b)},
                               {QStringLiteral("a"), Value::real(1)}});
}

// Records as a user fills them in: names, a company, a phone, an e-mail, an address, a note.
DocumentContent content(int count)
{
    DocumentContent c;
    c.categories = Array::create();
    for (int i = 1; i <= 12; ++i)
        c.categories->addObject(Value(Dictionary::create({{QStringLiteral("cat_category"), Value(QStringLiteral("Group %1").arg(i))},
                                                          {QStringLiteral("cat_backColor"), Value(colour(0.75, 0.75, 0.75))},
                                                          {QStringLiteral("cat_textColor"), Value(colour(1, 1, 1))},
                                                          {QStringLiteral("cat_howManyUsingThis"), Value::int32(0)},
                                                          {QStringLiteral("cat_uniqueID"), Value::int64(i)}})));
    c.records = Array::create();
    c.records->reserve(count);
    for (int i = 0; i < count; ++i) {
        const DictionaryRef r = Dictionary::create();
        r->setObject(Value(QStringLiteral("First%1").arg(i)), QStringLiteral("firstName"));
        r->setObject(Value(QStringLiteral("Last%1").arg(i)), QStringLiteral("lastName"));
        r->setObject(Value(QStringLiteral("Company %1 GmbH").arg(i % 977)), QStringLiteral("company"));
        r->setObject(Value(QStringLiteral("+49 30 %1").arg(1000000 + i)), QStringLiteral("phoneWork"));
        r->setObject(Value(QString()), QStringLiteral("faxWork"));
        r->setObject(Value(QStringLiteral("first%1@example.com").arg(i)), QStringLiteral("emailWork"));
        r->setObject(Value(QStringLiteral("Hauptstraße %1\n10115 Berlin").arg(i)), QStringLiteral("addressWork"));
        for (const char* key : {"webWork", "phonePersonal", "faxPersonal", "mobile", "pager", "emailPersonal",
                                "webPersonal", "addressPersonal"})
            r->setObject(Value(QString()), QLatin1String(key));
        r->setObject(Value(i % 10 == 0 ? QStringLiteral("Met at the fair, call back in spring") : QString()),
                     QStringLiteral("note"));
        r->setObject(Value::date(700000000.0 + i), QStringLiteral("creationDate"));
        r->setObject(Value::int32(0), QStringLiteral("usageCount"));
        r->setObject(c.categories->objectAtIndex(i % 12), QStringLiteral("categoryPtr"));
        c.records->addObject(Value(r));
    }
    c.labels = Dictionary::create({{QStringLiteral("firstName"), Value("First name:")}});
    c.creationDate = Value::date(690000000.0);
    return c;
}

// The file's bytes in the pieces a save writes them from.
QByteArrayList savePieces(const DocumentContent& c)
{
    EncryptedValues values;
    std::unique_ptr<QvCommonCrypto> engine;
    DocumentFile::encryptContent(c, kPassword, nullptr, DocumentFile::SaltAndVector::Fresh, values, engine);
    QByteArrayList pieces;
    DocumentFile::archiveRoot(values, DocumentFile::windowStateDictionary({0, 0, 900, 600}, true), pieces);
    return pieces;
}

QByteArray save(const DocumentContent& c) { return savePieces(c).join(); }

// The content as an unlock gives it, which is what a save starts from.
DocumentContent unlocked(int count)
{
    StoredDocument stored;
    DocumentFile::read(save(content(count)), stored);
    UnlockedContent out;
    DocumentUnlock::decrypt(stored, kPassword, Dictionary::create(), UnlockHooks(), out);
    return DocumentContent{out.records, out.categories, out.labels, out.creationDate};
}

void BM_SaveDocument(benchmark::State& state)
{
    const DocumentContent c = unlocked(static_cast<int>(state.range(0)));
    qint64 size = 0;
    resetPeak();
    for (auto _ : state) {
        const QByteArrayList pieces = savePieces(c);
        size = 0;
        for (const QByteArray& piece : pieces)
            size += piece.size();
        benchmark::DoNotOptimize(pieces.data());
    }
    reportPeak(state, size);
}

// An open document saved again, as the Save command does, after a first
// save: "peak_MB" is the peak of the later saves, "held_MB" what the process
// holds after them beyond what it held before the first.
void BM_SaveOpenDocumentAgain(benchmark::State& state)
{
    const DocumentContent c = unlocked(static_cast<int>(state.range(0)));
    MyDocument document;
    document.setPlainPassword(kPassword);
    document.setMyCategoryArray(c.categories);
    document.setMyLabelDictionary(c.labels);
    document.setDocumentCreationDate(c.creationDate);
    document.setMyArray(c.records);
    QTemporaryDir dir;
    const QUrl url = QUrl::fromLocalFile(dir.filePath(QStringLiteral("saved.calvorin")));
    const QString type = QStringLiteral("calvorin");
    resetPeak();
    const double before = residentMB();
    if (!document.writeToURL(url, type, nullptr)) {
        state.SkipWithError("not saved");
        return;
    }
    resetPeak();
    for (auto _ : state)
        benchmark::DoNotOptimize(document.writeToURL(url, type, nullptr));
    reportPeak(state, QFileInfo(url.toLocalFile()).size());
    malloc_trim(0);
    state.counters["held_MB"] = residentMB() - before;
}

void BM_OpenDocument(benchmark::State& state)
{
    const QByteArray file = save(content(static_cast<int>(state.range(0))));
    resetPeak();
    for (auto _ : state) {
        StoredDocument stored;
        benchmark::DoNotOptimize(DocumentFile::read(file, stored));
    }
    reportPeak(state, file.size());
}

void BM_UnlockDocument(benchmark::State& state)
{
    const QByteArray file = save(content(static_cast<int>(state.range(0))));
    StoredDocument stored;
    DocumentFile::read(file, stored);
    UnlockHooks hooks;
    resetPeak();
    for (auto _ : state) {
        UnlockedContent out;
        benchmark::DoNotOptimize(DocumentUnlock::decrypt(stored, kPassword, Dictionary::create(), hooks, out));
    }
    reportPeak(state, file.size());
}

// As the document unlocks: the records' ciphertext held by the unlock alone,
// and let go of once it is decrypted.
void BM_UnlockDocumentLettingGo(benchmark::State& state)
{
    StoredDocument stored;
    qint64 size = 0;
    {
        const QByteArray file = save(content(static_cast<int>(state.range(0))));
        size = file.size();
        DocumentFile::read(file, stored);
    }
    const QByteArray records = stored.encrypted.records;
    stored.encrypted.records = QByteArray();
    UnlockHooks hooks;
    resetPeak();
    for (auto _ : state) {
        state.PauseTiming();
        StoredDocument held = stored;
        held.encrypted.records = QByteArray(records.constData(), records.size());
        state.ResumeTiming();
        UnlockedContent out;
        benchmark::DoNotOptimize(DocumentUnlock::decryptLettingGo(held, kPassword, Dictionary::create(), hooks, out));
    }
    reportPeak(state, size);
}

// The floor of the unlock: the key derivation and the decryption of the four
// values, nothing decoded.
void BM_UnlockBaselineDecryptOnly(benchmark::State& state)
{
    const QByteArray file = save(content(static_cast<int>(state.range(0))));
    StoredDocument stored;
    DocumentFile::read(file, stored);
    const EncryptedValues& v = stored.encrypted;
    resetPeak();
    for (auto _ : state) {
        QvCommonCrypto engine(kPassword);
        engine.setPasswordToDecrypt(kPassword, v.IV, v.salt);
        int status = 0;
        for (const QByteArray* value : {&v.rc, &v.records, &v.categories, &v.labels, &v.creationDate})
            benchmark::DoNotOptimize(engine.decrypt(*value, &status).size());
    }
    reportPeak(state, file.size());
}

// The floor of the save: the key derivation and the encryption of bytes as
// many as the values' archives, nothing archived.
void BM_SaveBaselineEncryptOnly(benchmark::State& state)
{
    const QByteArray file = save(content(static_cast<int>(state.range(0))));
    const QByteArray plain(file.size(), 'x');
    resetPeak();
    for (auto _ : state) {
        QvCommonCrypto engine(kPassword);
        engine.setPasswordToEncrypt(kPassword);
        int status = 0;
        benchmark::DoNotOptimize(engine.encrypt(plain, &status).size());
    }
    reportPeak(state, file.size());
}

// One record whose note is this many megabytes.
DocumentContent largeNote(int megabytes)
{
    DocumentContent c = content(1);
    c.records->objectAtIndex(0).dictionary()->setObject(Value(QString(qsizetype(megabytes) << 20, QLatin1Char('n'))),
                                                       QStringLiteral("note"));
    return c;
}

void BM_SaveALargeNote(benchmark::State& state)
{
    const DocumentContent c = largeNote(int(state.range(0)));
    qint64 size = 0;
    resetPeak();
    for (auto _ : state)
        size = save(c).size();
    reportPeak(state, size);
}

// From the values as the reader keeps them, the file's bytes let go.
void BM_UnlockALargeNote(benchmark::State& state)
{
    StoredDocument stored;
    qint64 size = 0;
    {
        const QByteArray file = save(largeNote(int(state.range(0))));
        size = file.size();
        DocumentFile::read(file, stored);
    }
    resetPeak();
    for (auto _ : state) {
        UnlockedContent out;
        benchmark::DoNotOptimize(DocumentUnlock::decrypt(stored, kPassword, Dictionary::create(), UnlockHooks(), out));
    }
    reportPeak(state, size);
}

} // namespace

BENCHMARK(BM_SaveALargeNote)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_UnlockALargeNote)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1);
#define DOCUMENT_SIZES(b) b->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
DOCUMENT_SIZES(BENCHMARK(BM_SaveDocument));
BENCHMARK(BM_SaveOpenDocumentAgain)->Arg(100000)->Unit(benchmark::kMillisecond);
DOCUMENT_SIZES(BENCHMARK(BM_SaveBaselineEncryptOnly));
DOCUMENT_SIZES(BENCHMARK(BM_OpenDocument));
DOCUMENT_SIZES(BENCHMARK(BM_UnlockDocument));
DOCUMENT_SIZES(BENCHMARK(BM_UnlockDocumentLettingGo));
DOCUMENT_SIZES(BENCHMARK(BM_UnlockBaselineDecryptOnly));

BENCHMARK_MAIN();
