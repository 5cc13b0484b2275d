// Cost of opening and saving a document's values: one key derivation, and the
// AES pass over a large value with and without the derivation every engine call
// makes first.
#include "encryption/CryptoPrimitives.h"
#include "encryption/QvCommonCrypto.h"

#include <benchmark/benchmark.h>

namespace {
constexpr qsizetype kLargeValue = 16 * 1024 * 1024;

const QString kPassword = QStringLiteral("correct horse battery");

QvCommonCrypto& engine()
{
    static QvCommonCrypto crypto(kPassword);
    // The key is derived here, for the passes that take it without a cipher call.
    static const int derived = crypto.recalcIV_Salt_AESKey();
    (void)derived;
    return crypto;
}

const QByteArray& largeCiphertext()
{
    static const QByteArray ciphertext = [] {
        QByteArray plaintext(kLargeValue, Qt::Uninitialized);
        for (qsizetype i = 0; i < plaintext.size(); ++i)
            plaintext[i] = static_cast<char>(i * 131);
        int status = 0;
        return engine().encrypt(plaintext, &status);
    }();
    return ciphertext;
}

void BM_KeyDerivation(benchmark::State& state)
{
    const QByteArray salt = QByteArray::fromHex("0102030405060708");
    for (auto _ : state)
        benchmark::DoNotOptimize(QvCommonCrypto::AESKeyForPassword(kPassword, salt));
}
BENCHMARK(BM_KeyDerivation)->Unit(benchmark::kMillisecond);

// What opening a 16 MB value costs: derivation plus decryption.
void BM_Decrypt16MB(benchmark::State& state)
{
    const QByteArray& ciphertext = largeCiphertext();
    for (auto _ : state) {
        int status = 0;
        benchmark::DoNotOptimize(engine().decrypt(ciphertext, &status));
        if (status != 0)
            state.SkipWithError("decryption failed");
    }
    state.SetBytesProcessed(state.iterations() * ciphertext.size());
}
BENCHMARK(BM_Decrypt16MB)->Unit(benchmark::kMillisecond);

// The cipher pass alone, to set beside the cipher library's own figure.
void runPass(benchmark::State& state, const QByteArray& input, bool decrypt)
{
    const QByteArray key = engine().AESKey();
    const QByteArray vector = engine().IV();
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    const auto* iv = reinterpret_cast<const unsigned char*>(vector.constData());
    for (auto _ : state) {
        int status = 0;
        benchmark::DoNotOptimize(
            CryptoPrimitives::aes256(input, k, iv, decrypt, QvCommonCrypto::OptionPKCS7Padding, &status));
        if (status != 0)
            state.SkipWithError("cipher pass failed");
    }
    state.SetBytesProcessed(state.iterations() * input.size());
}

void BM_DecryptPass16MB(benchmark::State& state)
{
    runPass(state, largeCiphertext(), true);
}
BENCHMARK(BM_DecryptPass16MB)->Unit(benchmark::kMillisecond);

void BM_EncryptPass16MB(benchmark::State& state)
{
    runPass(state, QByteArray(kLargeValue, 'x'), false);
}
BENCHMARK(BM_EncryptPass16MB)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
