#include "platform/PropertyList.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <bit>
#include <cmath>
#include <limits>

namespace {

using Format = PropertyList::Format;

Value sample()
{
    ArrayRef numbers = Array::create({Value::int64(-1), Value::int64(std::numeric_limits<qint64>::min()),
                                      Value::uint64(std::numeric_limits<quint64>::max()), Value::real(0.1),
                                      Value::real(-1e-310), Value::boolean(false)});
    DictionaryRef inner = Dictionary::create({{"z", Value("last letter first")}, {"a", Value(numbers)}});
    return Value(Dictionary::create({
        {"text", Value(QString::fromUtf8("<&> \"quoted\" \xF0\x9F\x98\x80"))},
        {"empty", Value("")},
        {"bytes", Value::data(QByteArray("\x00\xFFxyz", 5))},
        {"date", Value::date(-31536000)}, // whole seconds survive XML too
        {"inner", Value(inner)},
        {"ref", Value(Dictionary::create({{"CF$UID", Value::int64(3)}}))},
    }));
}

Value readOk(const QByteArray& data, Format* format = nullptr)
{
    QString error;
    Value v;
    EXPECT_TRUE(PropertyList::read(data, v, &error, format)) << error.toStdString();
    return v;
}

TEST(PropertyList, BinaryAndXmlRoundTrip)
{
    for (Format format : {Format::Binary, Format::Xml}) {
        SCOPED_TRACE(format == Format::Binary ? "binary" : "xml");
        QString error;
        QByteArray data;
        ASSERT_TRUE(PropertyList::write(sample(), format, data, &error)) << error.toStdString();
        Format seen;
        const Value back = readOk(data, &seen);
        EXPECT_EQ(seen, format);
        EXPECT_TRUE(back.isEqual(sample()));
        EXPECT_EQ(back.dictionary()->allKeys(), sample().dictionary()->allKeys());
        EXPECT_EQ(back.valueForKey("inner").dictionary()->allKeys(), QStringList({"z", "a"}));
        const ArrayRef numbers = back.valueForKeyPath("inner.a").array();
        EXPECT_EQ(numbers->objectAtIndex(0).kind(), Value::Kind::Int64);
        EXPECT_EQ(numbers->objectAtIndex(2).kind(), Value::Kind::UInt64);
        EXPECT_EQ(numbers->objectAtIndex(2).unsignedLongLongValue(), std::numeric_limits<quint64>::max());
        EXPECT_EQ(numbers->objectAtIndex(3).kind(), Value::Kind::Real);
        EXPECT_EQ(numbers->objectAtIndex(5).kind(), Value::Kind::Bool);
        EXPECT_EQ(std::bit_cast<quint64>(numbers->objectAtIndex(4).doubleValue()), std::bit_cast<quint64>(-1e-310));
    }
}

TEST(PropertyList, BinaryKeepsDatesToTheBitAndXmlToTheSecond)
{
    const Value date = Value::date(123456789.123456789);
    const Value binary = readOk(PropertyList::dataWithPropertyList(date, Format::Binary));
    EXPECT_EQ(std::bit_cast<quint64>(binary.dateValue()), std::bit_cast<quint64>(date.dateValue()));
    const QByteArray xml = PropertyList::dataWithPropertyList(date, Format::Xml);
    EXPECT_TRUE(xml.contains("<date>2004-11-29T21:33:09Z</date>")) << xml.toStdString();
    EXPECT_EQ(readOk(xml).dateValue(), 123456789.0);
    // Before the reference date, the second is rounded down, not towards zero.
    EXPECT_TRUE(PropertyList::dataWithPropertyList(Value::date(-0.5), Format::Xml).contains("2000-12-31T23:59:59Z"));
}

TEST(PropertyList, ReadsXmlAsThePlatformWritesIt)
{
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>LRA</key>
	<integer>30602</integer>
	<key>negative</key>
	<integer> -42 </integer>
	<key>big</key>
	<integer>18446744073709551615</integer>
	<key>reals</key>
	<array><real>2.5</real><real>-infinity</real><real>nan</real><real>1e400</real><real>+3</real><real>0.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001</real></array>
	<key>flags</key>
	<array><true/><false/></array>
	<key>blob</key>
	<data>
	AAEC
	/w==
	</data>
	<key>when</key>
	<date>2001-01-01T00:01:00Z</date>
	<key>text</key>
	<string>a &amp; b &lt;c&gt;</string>
	<key>nothing</key>
	<string/>
</dict>
</plist>
)";
    const Value v = readOk(xml);
    EXPECT_EQ(v.valueForKey("LRA").longLongValue(), 30602);
    EXPECT_EQ(v.valueForKey("negative").longLongValue(), -42);
    EXPECT_EQ(v.valueForKey("big").kind(), Value::Kind::UInt64);
    const ArrayRef reals = v.valueForKey("reals").array();
    EXPECT_EQ(reals->objectAtIndex(0).doubleValue(), 2.5);
    EXPECT_EQ(reals->objectAtIndex(1).doubleValue(), -HUGE_VAL);
    EXPECT_TRUE(std::isnan(reals->objectAtIndex(2).doubleValue()));
    EXPECT_EQ(reals->objectAtIndex(3).doubleValue(), HUGE_VAL);
    EXPECT_EQ(reals->objectAtIndex(4).doubleValue(), 3.0);
    EXPECT_EQ(reals->objectAtIndex(5).doubleValue(), 0.0) << "too small for a double, not too large";
    EXPECT_TRUE(v.valueForKey("flags").array()->objectAtIndex(0).boolValue());
    EXPECT_EQ(v.valueForKey("blob").dataValue(), QByteArray("\x00\x01\x02\xFF", 4));
    EXPECT_EQ(v.valueForKey("when").dateValue(), 60.0);
    EXPECT_EQ(v.valueForKey("text").stringValue(), "a & b <c>");
    EXPECT_TRUE(v.valueForKey("nothing").isString());
}

TEST(PropertyList, WriterRefusesWhatAPropertyListCannotHold)
{
    QString error;
    QByteArray out;
    EXPECT_FALSE(PropertyList::write(Value(Array::create({Value()})), Format::Binary, out, &error));
    EXPECT_FALSE(PropertyList::write(Value(ArchivedColor::white(1)), Format::Xml, out, &error));
    EXPECT_FALSE(PropertyList::write(Value(QString(QChar(0x1))), Format::Xml, out, &error));
    EXPECT_FALSE(PropertyList::write(Value(QString(QChar(0xD800))), Format::Xml, out, &error));
    EXPECT_FALSE(PropertyList::write(Value::date(1e300), Format::Xml, out, &error));
    EXPECT_TRUE(out.isEmpty());
    // Control characters are fine in the binary form.
    EXPECT_EQ(readOk(PropertyList::dataWithPropertyList(Value(QString(QChar(0x1))), Format::Binary)).stringValue(),
              QString(QChar(0x1)));
}

TEST(PropertyList, SharedContainersAreWrittenOnce)
{
    ArrayRef shared = Array::create({Value("x")});
    const QByteArray data = PropertyList::dataWithPropertyList(Value(Array::create({Value(shared), Value(shared)})), Format::Binary);
    plist_t root = nullptr;
    plist_from_bin(data.constData(), uint32_t(data.size()), &root);
    ASSERT_NE(root, nullptr); // an independent reader agrees it is well formed
    EXPECT_EQ(plist_array_get_size(root), 2u);
    plist_free(root);
    const Value back = readOk(data);
    // Read back as two separate arrays: nothing unexpected is shared.
    EXPECT_FALSE(back.array()->objectAtIndex(0) == back.array()->objectAtIndex(1));
    EXPECT_TRUE(back.array()->objectAtIndex(0).isEqual(back.array()->objectAtIndex(1)));
}

QByteArray nestedXml(int depth)
{
    return "<plist>" + QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth) + "</plist>";
}

// A binary list whose every level refers twice to the level below: 2^40
// nodes if expanded, 41 objects on disk.
QByteArray sharedExpansion()
{
    Value v("leaf");
    for (int i = 0; i < 40; ++i)
        v = Value(Array::create({v, v}));
    return PropertyList::dataWithPropertyList(v, Format::Binary);
}

QByteArray selfContainingBinary()
{
    // bplist00, object 0: an array of one element referring to object 0.
    QByteArray d("bplist00");
    d += QByteArray::fromHex("a100");
    d += QByteArray::fromHex("08"); // offset table
    d += QByteArray(6, '\0');
    d += QByteArray::fromHex("0101");
    d += QByteArray::fromHex("0000000000000001");
    d += QByteArray::fromHex("0000000000000000");
    d += QByteArray::fromHex("000000000000000a");
    return d;
}

TEST(PropertyList, XmlMayOpenWithAByteOrderMarkAndWhiteSpaceInUtf8OrUtf16)
{
    const QString text = QStringLiteral(" \n\t<plist><string>Zoë</string></plist>");
    QByteArray le(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QByteArray be = le;
    for (qsizetype i = 0; i + 1 < be.size(); i += 2)
        std::swap(be[i], be[i + 1]);
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"UTF-8", text.toUtf8()},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + text.toUtf8()},
        {"UTF-16LE with its mark", "\xFF\xFE" + le},
        {"UTF-16BE with its mark", "\xFE\xFF" + be},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        Value out;
        ASSERT_TRUE(PropertyList::read(c.data, out, &error)) << error.toStdString();
        EXPECT_EQ(out.stringValue(), QStringLiteral("Zoë"));
    }
}

TEST(PropertyList, MalformedInputFailsCleanly)
{
    const QByteArray good = PropertyList::dataWithPropertyList(sample(), Format::Binary);
    const struct {
        const char* name;
        const char* reason; // a part of the message
        QByteArray data;
    } cases[] = {
        {"empty", "malformed", QByteArray()},
        {"text", "neither binary nor XML", "hello <plist/>"},
        {"bytes", "neither binary nor XML", QByteArray::fromHex("00003c00ff3c")},
        {"UTF-16 with a letter before the tag", "neither binary nor XML", QByteArray::fromHex("fffe41003c00")},
        {"no name after the opening", "neither binary nor XML", "<\x9c<plist/>"},
        {"control bytes after the tag", "neither binary nor XML", QByteArray("<plist>\x01\x02</plist>")},
        {"nested beyond the limit", "too deeply", nestedXml(PropertyList::kMaxDepth + 2)},
        {"nested far beyond the limit", "too deeply", nestedXml(200000)},
        {"unknown element", "unknown element", "<plist><set/></plist>"},
        {"key without value", "without a value", "<plist><dict><key>a</key></dict></plist>"},
        {"value without key", "where a key belongs", "<plist><dict><string>a</string></dict></plist>"},
        {"integer with letters", "invalid integer", "<plist><integer>12a</integer></plist>"},
        {"integer beyond 64 bits", "invalid integer", "<plist><integer>18446744073709551616</integer></plist>"},
        {"integer below 64 bits", "invalid integer", "<plist><integer>-9223372036854775809</integer></plist>"},
        {"real as text", "invalid real", "<plist><real>one</real></plist>"},
        {"real beyond the range with letters after it", "invalid real", "<plist><real>1e400x</real></plist>"},
        {"date without zone", "invalid date", "<plist><date>2001-01-01T00:00:00</date></plist>"},
        {"thirtieth of February", "invalid date", "<plist><date>2001-02-30T00:00:00Z</date></plist>"},
        {"invalid base64", "base64", "<plist><data>@@@@</data></plist>"},
        {"two roots", "more than one root", "<plist><true/><false/></plist>"},
        {"unclosed", "malformed", "<plist><array><string>x</string></plist>"},
        {"entity expansion", "expansion limit", R"(<?xml version="1.0"?>
<!DOCTYPE plist [<!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">
<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">]>
<plist><string>&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;</string></plist>)"},
        {"binary truncated", "integer sizes", good.left(good.size() - 5)},
        {"binary shared expansion", "expands beyond", sharedExpansion()},
        {"binary contains itself", "contains itself", selfContainingBinary()},
        {"binary non-ASCII in an ASCII string", "not ASCII",
         QByteArray("bplist00") + QByteArray::fromHex("51ff") + QByteArray::fromHex("08") + QByteArray(6, '\0')
             + QByteArray::fromHex("0101") + QByteArray::fromHex("0000000000000001")
             + QByteArray::fromHex("0000000000000000") + QByteArray::fromHex("000000000000000a")},
        {"binary count beyond the buffer", "truncated",
         QByteArray("bplist00") + QByteArray::fromHex("af13" "7fffffffffffffff") + QByteArray::fromHex("08")
             + QByteArray(6, '\0') + QByteArray::fromHex("0101") + QByteArray::fromHex("0000000000000001")
             + QByteArray::fromHex("0000000000000000") + QByteArray::fromHex("0000000000000012")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        Value out = Value("stale");
        EXPECT_FALSE(PropertyList::read(c.data, out, &error));
        EXPECT_TRUE(out.isNull());
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

} // namespace
