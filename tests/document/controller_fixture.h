#pragma once
// A document's record and category controllers wired as the document wires
// them, without a window, and the checks their tests share.

#include "document/FilteringArrayController.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/Clock.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

class FakeDocument : public ControllerDocument {
public:
    QString searchText() const override { return search; }
    void showSearchInfoView(bool show) override { stripShown.push_back(show); }
    void markChangeDone() override { ++changes; }

    QString search;
    std::vector<bool> stripShown;
    int changes = 0;
};

class ControllerFixture : public ::testing::Test {
protected:
    ControllerFixture() : clock(QDateTime(QDate(2024, 3, 5), QTime(10, 30), Qt::UTC))
    {
        categories.setMyDoc(&document);
        records.setMyDoc(&document);
        records.setMyCategoryArrayController(&categories);
        categories.setContent(categoryArray);
        records.setContent(recordArray);
    }

    DictionaryRef addCategory(const QString& name) { return categories.addWithName(name); }

    // A record of the given category with these fields set, added as the
    // document's text import adds it.
    DictionaryRef addRecord(const DictionaryRef& category, std::initializer_list<std::pair<QString, QString>> fields = {})
    {
        DictionaryRef record = records.newObject();
        records.assignCategory(category, record);
        for (const auto& [key, value] : fields)
            record->setObject(Value(value), key);
        records.addObject(record);
        return record;
    }

    static qint64 usage(const DictionaryRef& category)
    {
        return category->objectForKey(QvColoredCategoryArrayController::kUsageCount).longLongValue();
    }

    // Every category counts exactly the records of the list linked to it.
    void expectCountsRight() const
    {
        for (const Value& value : categoryArray->objects()) {
            const DictionaryRef category = value.dictionary();
            qint64 linked = 0;
            for (const Value& record : recordArray->objects()) {
                if (record.dictionary()->objectForKey(FilteringArrayController::kCategoryPtr).dictionary() == category)
                    ++linked;
            }
            EXPECT_EQ(usage(category), linked)
                << category->objectForKey(QvCategoryArrayController::kName).stringValue().toStdString();
        }
    }

    QStringList arrangedFirstNames() const
    {
        QStringList names;
        for (const DictionaryRef& record : records.arrangedObjects())
            names << record->objectForKey(QStringLiteral("firstName")).stringValue();
        return names;
    }

    FixedClock clock;
    FakeDocument document;
    ArrayRef categoryArray = Array::create();
    ArrayRef recordArray = Array::create();
    QvColoredCategoryArrayController categories;
    FilteringArrayController records;
};
