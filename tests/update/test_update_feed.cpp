#include "platform/PropertyList.h"
#include "update/UpdateFeed.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

QByteArray xmlFeed(const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" +
           entries + "</dict>\n</plist>\n";
}

QByteArray binaryFeed(const Value& latest)
{
    return PropertyList::dataWithPropertyList(
        Value(Dictionary::create({{"LRA", latest}, {"GFU", Value("https://example.com/c.zip")}})),
        PropertyList::Format::Binary);
}

} // namespace

TEST(UpdateFeed, ReadsTheReleaseFromBinaryAndXmlFeeds)
{
    const struct {
        const char* name;
        QByteArray body;
        bool hasRelease;
        qint64 release;
    } cases[] = {
        {"binary", binaryFeed(Value::int64(30700)), true, 30700},
        {"binary, negative", binaryFeed(Value::int64(-1)), true, -1},
        {"binary, largest", binaryFeed(Value::uint64(quint64(std::numeric_limits<qint64>::max()))), true,
         std::numeric_limits<qint64>::max()},
        {"XML", xmlFeed("<key>LRA</key><integer>30700</integer><key>DPU</key><string>https://e.example/</string>"),
         true, 30700},
        {"XML, largest", xmlFeed("<key>LRA</key><integer>9223372036854775807</integer>"), true,
         std::numeric_limits<qint64>::max()},
        {"XML, smallest", xmlFeed("<key>LRA</key><integer>-9223372036854775808</integer>"), true,
         std::numeric_limits<qint64>::min()},
        {"without LRA", xmlFeed("<key>GFU</key><string>https://e.example/</string>"), false, 0},
        {"empty dictionary", xmlFeed(""), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const DictionaryRef feed = UpdateFeed::read(c.body, &error);
        ASSERT_TRUE(feed) << qPrintable(error);
        EXPECT_EQ(UpdateFeed::latestRelease(*feed).has_value(), c.hasRelease);
        EXPECT_EQ(UpdateFeed::latestRelease(*feed).value_or(0), c.release);
    }
}

TEST(UpdateFeed, RefusesWhatIsNotAFeedWithAnIntegerRelease)
{
    QByteArray deep = "<?xml version=\"1.0\"?><plist><dict><key>LRA</key>";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    const QByteArray valid = binaryFeed(Value::int64(30700));
    QByteArray badOffset = valid;
    badOffset[badOffset.size() - 1] = char(0x7f); // offset table past the end
    const struct {
        const char* name;
        QByteArray body;
    } cases[] = {
        {"empty", {}},
        {"garbage", "It works!"},
        {"HTML", "<html><body>404 Not Found</body></html>"},
        {"JSON", "{\"LRA\": 30700}"},
        {"text property list", "{ LRA = 30700; GFU = \"https://e.example/\"; }"},
        {"binary header only", "bplist00"},
        {"binary, cut short", valid.left(valid.size() / 2)},
        {"binary, bad trailer", badOffset},
        {"XML, unclosed", xmlFeed("<key>LRA</key><integer>30700</integer>").chopped(10)},
        {"XML, integer too large", xmlFeed("<key>LRA</key><integer>99999999999999999999999</integer>")},
        {"XML, deep nesting", deep},
        {"array root", PropertyList::dataWithPropertyList(Value(Array::create()), PropertyList::Format::Binary)},
        {"string root", PropertyList::dataWithPropertyList(Value("LRA"), PropertyList::Format::Xml)},
        {"integer root", PropertyList::dataWithPropertyList(Value::int64(30700), PropertyList::Format::Binary)},
        {"LRA above 2^63 - 1", xmlFeed("<key>LRA</key><integer>18446744073709551615</integer>")},
        {"LRA 2^63, binary", binaryFeed(Value::uint64(quint64(1) << 63))},
        {"LRA real", binaryFeed(Value::real(30700.0))},
        {"LRA XML real", xmlFeed("<key>LRA</key><real>30700</real>")},
        {"LRA string", binaryFeed(Value("30700"))},
        {"LRA boolean", xmlFeed("<key>LRA</key><true/>")},
        {"LRA date", xmlFeed("<key>LRA</key><date>2026-03-14T10:00:00Z</date>")},
        {"LRA data", binaryFeed(Value::data("30700"))},
        {"LRA array", xmlFeed("<key>LRA</key><array><integer>30700</integer></array>")},
        {"LRA dictionary", xmlFeed("<key>LRA</key><dict/>")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(UpdateFeed::read(c.body, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(UpdateFeed, ReleaseNumbersAreSigned64BitIntegersOnly)
{
    const struct {
        Value latest;
        bool usable;
    } cases[] = {
        {Value(), true},
        {Value::int32(30700), true},
        {Value::int64(std::numeric_limits<qint64>::min()), true},
        {Value::uint64(quint64(std::numeric_limits<qint64>::max())), true},
        {Value::uint64(quint64(std::numeric_limits<qint64>::max()) + 1), false},
        {Value::boolean(true), false},
        {Value::real(30700.0), false},
        {Value("30700"), false},
        {Value::date(0.0), false},
    };
    for (const auto& c : cases) {
        DictionaryRef feed = Dictionary::create({{"LRA", c.latest}});
        EXPECT_EQ(UpdateFeed::hasUsableLatestRelease(*feed), c.usable) << int(c.latest.kind());
        if (!c.usable) {
            EXPECT_FALSE(UpdateFeed::latestRelease(*feed));
        }
    }
}
