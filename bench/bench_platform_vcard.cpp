// Reading a vCard file of 10,000 cards (about 4 MB, as an address book
// exports it), beside one plain pass over the same bytes.
#include "platform/VCardReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

QByteArray tenThousandCards()
{
    QByteArray bytes;
    for (int i = 0; i < 10000; ++i) {
        const QByteArray n = QByteArray::number(i);
        bytes += "BEGIN:VCARD\r\nVERSION:3.0\r\n"
                 "N:Lastname" + n + ";Firstname" + n + ";;;\r\n"
                 "FN:Firstname" + n + " Lastname" + n + "\r\n"
                 "ORG:Company " + n + " Ltd\r\n"
                 "item1.TEL;type=pref:+41 79 555 " + n + "\r\n"
                 "item1.X-ABLabel:_$!<Mobile>!$_\r\n"
                 "TEL;type=WORK;type=VOICE:+41 44 555 " + n + "\r\n"
                 "EMAIL;type=INTERNET;type=WORK:first" + n + "@company.example\r\n"
                 "ADR;type=HOME:;;" + n + " Main Street;Zürich;ZH;8000;Switzerland\r\n"
                 "URL:https://www.example.org/people/" + n + "\r\n"
                 "NOTE:Met at the yearly conference\\, talked about the project and agreed to \r\n"
                 " call again.\r\n"
                 "END:VCARD\r\n";
    }
    return bytes;
}

const QByteArray& cards()
{
    static const QByteArray bytes = tenThousandCards();
    return bytes;
}

void BM_Read10000Cards(benchmark::State& state)
{
    qsizetype people = 0;
    for (auto _ : state) {
        const AddressBookPeople read = VCardReader::read(cards());
        people = read.people.size();
        benchmark::DoNotOptimize(read.people.data());
    }
    state.counters["people"] = static_cast<double>(people);
    state.counters["MB"] = static_cast<double>(cards().size()) / 1e6;
}
BENCHMARK(BM_Read10000Cards)->Unit(benchmark::kMillisecond);

// Baseline: the bytes looked at once, line by line, and nothing kept.
void BM_BaselineCountLines(benchmark::State& state)
{
    for (auto _ : state) {
        const QByteArray& bytes = cards();
        benchmark::DoNotOptimize(std::count(bytes.begin(), bytes.end(), '\n'));
    }
}
BENCHMARK(BM_BaselineCountLines)->Unit(benchmark::kMillisecond);

// Baseline: the bytes decoded as UTF-8 text once.
void BM_BaselineDecodeUtf8(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(QString::fromUtf8(cards()).size());
}
BENCHMARK(BM_BaselineDecodeUtf8)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
