#pragma once
// The value model shared by every layer: what a document holds is a tree (or
// graph) of mutable dictionaries and arrays of strings, numbers, dates, byte
// strings and colours, read and written by key and key path.
//
// Scalars are values. Dictionaries and arrays are reference types: a record
// holds *the* category dictionary, so an edit of the category is seen through
// every record that refers to it; `==` on them is identity, `isEqual` is the
// deep comparison.
//
// Mapping of the framework names: `setValue:forKey:` is `setValue(value, key)`,
// `setObject:forKey:` is `setObject(value, key)`, `setValue:forKeyPath:` is
// `setValueForKeyPath(value, keyPath)`; `nil` and `NSNull` are the absent value.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

class Value;
class Dictionary;
class Array;
struct ArchivedColor;

using DictionaryRef = std::shared_ptr<Dictionary>;
using ArrayRef = std::shared_ptr<Array>;
using ColorRef = std::shared_ptr<const ArchivedColor>;

class Value {
public:
    enum class Kind { Null, Bool, Int32, Int64, UInt64, Real, String, Data, Date, Dictionary, Array, Color };

    Value() = default; // absent (nil)
    Value(const QString& string);
    Value(QString&& string);
    Value(const char* utf8); // a null pointer gives the absent value
    Value(DictionaryRef dictionary); // a null reference gives the absent value
    Value(ArrayRef array);
    Value(ColorRef color);
    // Numbers are made with the named factories below so that their kind is
    // always chosen on purpose; a bare literal would otherwise become a string.
    Value(std::nullptr_t) = delete;
    Value(bool) = delete;
    Value(int) = delete;
    Value(double) = delete;

    static Value boolean(bool b);
    static Value int32(qint32 i);
    static Value int64(qint64 i);
    static Value uint64(quint64 u);
    static Value real(double d);
    static Value string(const QString& s);
    static Value data(const QByteArray& d);
    static Value date(double secondsSince2001); // kept as the exact double
    static Value dateFromDateTime(const QDateTime& dateTime);
    QDateTime toDateTime() const; // invalid unless a date within QDateTime's range

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isNumber() const; // Bool, Int32, Int64, UInt64, Real
    bool isInteger() const; // Int32, Int64, UInt64
    bool isString() const { return kind() == Kind::String; }
    bool isData() const { return kind() == Kind::Data; }
    bool isDate() const { return kind() == Kind::Date; }
    bool isDictionary() const { return kind() == Kind::Dictionary; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isColor() const { return kind() == Kind::Color; }

    // Readings as the framework answers them: the absent value and non-numbers
    // give 0 / false; strings are parsed from their start (leading white space
    // skipped, out-of-range integers saturate, `boolValue` is true for Y, y, T,
    // t or 1-9 after white space, a sign and zeros); integers narrow like C
    // casts; reals out of range saturate and NaN gives 0.
    int intValue() const;
    unsigned unsignedIntValue() const;
    qint64 longValue() const;
    qint64 longLongValue() const;
    quint64 unsignedLongLongValue() const;
    bool boolValue() const;
    float floatValue() const;
    double doubleValue() const;

    QString stringValue() const; // a string itself, a number's description, else empty
    const QString* stringIfString() const { return std::get_if<QString>(&m_value); } // null for other kinds
    const Dictionary* dictionaryIfDictionary() const // null for other kinds; no count taken
    {
        const DictionaryRef* d = std::get_if<DictionaryRef>(&m_value);
        return d ? d->get() : nullptr;
    }
    QByteArray dataValue() const; // a byte string, else empty
    double dateValue() const; // seconds since 2001-01-01 UTC of a date, else 0
    DictionaryRef dictionary() const; // null when another kind
    ArrayRef array() const;
    ColorRef color() const;

    // Identity for collections and colours; same kind and same value for scalars.
    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }
    // Deep equality: a number never equals a string, 1 equals 1.0 and true
    // equals 1; collections compare element by element.
    bool isEqual(const Value& other) const;

    // On a dictionary its entry; on an array an array of each element's value
    // (absent where an element has none); otherwise absent.
    Value valueForKey(const QString& key) const;
    Value valueForKeyPath(const QString& keyPath) const; // "categoryPtr.cat_category"
    // A new collection sharing the values of this one; scalars are returned as they are.
    Value mutableCopy() const;

private:
    struct DateBox {
        double seconds;
        bool operator==(const DateBox& other) const { return seconds == other.seconds; }
    };
    using Storage = std::variant<std::monostate, bool, qint32, qint64, quint64, double, QString, QByteArray,
                                 DateBox, DictionaryRef, ArrayRef, ColorRef>;
    template <typename T>
    explicit Value(std::in_place_type_t<T>, T v) : m_value(std::in_place_type<T>, std::move(v))
    {
    }
    friend bool valueIsEqual(const Value&, const Value&, int);

    Storage m_value;
};

// A mutable dictionary with string keys kept in insertion order.
//
// Dictionaries with the same keys in the same order (copies, records read from
// one archive) share one list of keys and copy it only when their keys change,
// so that 100,000 records of 20 keys hold their keys once.
class Dictionary {
    class Keys;

public:
    using Entry = std::pair<QString, Value>;
    // Yields (key, value) pairs of references: `for (const auto& [key, value] : *dict)`.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::pair<const QString&, const Value&>;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = value_type;
        const_iterator() = default;
        value_type operator*() const { return {*m_key, *m_value}; }
        const_iterator& operator++()
        {
            ++m_key, ++m_value;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator& other) const { return m_value == other.m_value; }

    private:
        friend class Dictionary;
        const_iterator(const QString* key, const Value* value) : m_key(key), m_value(value) {}
        const QString* m_key = nullptr;
        const Value* m_value = nullptr;
    };

    Dictionary();
    ~Dictionary();
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    static DictionaryRef create();
    static DictionaryRef create(std::initializer_list<Entry> entries);

    qsizetype count() const { return static_cast<qsizetype>(m_values.size()); }
    void reserve(qsizetype n);
    QStringList allKeys() const;
    bool containsKey(const QString& key) const { return find(key) >= 0; }
    Value objectForKey(const QString& key) const;
    Value valueForKey(const QString& key) const { return objectForKey(key); }
    // A new key goes to the end; an existing key keeps its place. The absent
    // value removes the key.
    void setObject(const Value& value, const QString& key);
    void setValue(const Value& value, const QString& key) { setObject(value, key); }
    void removeObjectForKey(const QString& key);
    void removeAllObjects();

    Value valueForKeyPath(const QString& keyPath) const;
    // Sets the last key on the object the path leads to; a path through an
    // absent or scalar value changes nothing.
    void setValueForKeyPath(const Value& value, const QString& keyPath);

    DictionaryRef mutableCopy() const; // shares the values
    bool isEqualToDictionary(const Dictionary& other) const;

    const_iterator begin() const;
    const_iterator end() const;

private:
    friend class ArchiveDictionaryBuilder;

    qsizetype find(const QString& key) const;
    Keys& ownKeys(); // the list of keys, copied first when shared

    std::shared_ptr<Keys> m_keys; // null while empty
    std::vector<Value> m_values;
};

// A mutable array. Indexes out of range read as absent and change nothing.
class Array {
public:
    using const_iterator = std::vector<Value>::const_iterator;

    Array() = default;
    explicit Array(std::vector<Value> objects) : m_objects(std::move(objects)) {}
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    static ArrayRef create();
    static ArrayRef create(std::vector<Value> objects);

    qsizetype count() const { return static_cast<qsizetype>(m_objects.size()); }
    void reserve(qsizetype n);
    Value objectAtIndex(qsizetype index) const;
    void addObject(const Value& value);
    void addObject(Value&& value);
    void insertObject(const Value& value, qsizetype atIndex); // at most count()
    void removeObjectAtIndex(qsizetype index);
    void replaceObjectAtIndex(qsizetype index, const Value& value);
    void removeAllObjects() { m_objects.clear(); }
    void removeObjectIdenticalTo(const Value& value); // every occurrence
    qsizetype indexOfObject(const Value& value) const; // deep equality; -1 when absent
    qsizetype indexOfObjectIdenticalTo(const Value& value) const; // -1 when absent
    bool containsObject(const Value& value) const { return indexOfObject(value) >= 0; }
    ArrayRef mutableCopy() const; // shares the values
    bool isEqualToArray(const Array& other) const;
    const std::vector<Value>& objects() const { return m_objects; }
    const_iterator begin() const { return m_objects.begin(); }
    const_iterator end() const { return m_objects.end(); }

    Value valueForKey(const QString& key) const; // an array of each element's value
    Value valueForKeyPath(const QString& keyPath) const;

private:
    std::vector<Value> m_objects;
};

// A colour as an archive stores it: its colour space number and components.
// Colour spaces: 1 calibrated RGB, 2 device RGB, 3 calibrated white, 4 device
// white, 5 device CMYK, 6 named (catalog) colour, 7 component-based colour.
struct ArchivedColor {
    int colorSpace = 0;
    std::vector<double> components; // alpha last, 1 when the archive gives none
    QString catalogName; // named colours only
    QString colorName;
    ColorRef fallback; // the colour a named colour stands for, when archived

    bool operator==(const ArchivedColor& other) const;

    static ColorRef rgb(double r, double g, double b, double a = 1.0, int colorSpace = 1);
    static ColorRef white(double w, double a = 1.0, int colorSpace = 3);
};
