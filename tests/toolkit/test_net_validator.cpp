#include "toolkit/QvNetValidator.h"

#include <gtest/gtest.h>

namespace {
struct Case
{
    const char* text;
    bool valid;
};

template<size_t N>
void expectTable(bool (*check)(const QString&), const Case (&cases)[N])
{
    for (const Case& c : cases)
        EXPECT_EQ(check(QString::fromUtf8(c.text)), c.valid) << c.text;
}
} // namespace

TEST(NetValidator, Email)
{
    const Case cases[] = {
        {"anna.berg@example.com", true},
        {"  anna@example.de  ", true},     // spaces are cut first
        {"a+b_c%d-e@mail.ex-ample.museum", true},
        {"anna@studio.photography", true}, // long top-level domains exist
        {"anna@example.international", true},
        {"anna@example.c", false},
        {"anna@example.c0m", false},
        {"anna berg@example.com", false},
        {"anna.example.com", false},
        {"\tanna@example.com", false},     // only spaces are cut
        {"anna@example.com\n", false},
        {"", false},
        {"ANNA@EXAMPLE.COM", true},
    };
    expectTable(&QvNetValidator::isValidEmail, cases);
}

TEST(NetValidator, EmailList)
{
    const Case cases[] = {
        {"anna@example.com, ben@example.org", true},
        {"anna@example.com,", true},
        {"", true},
        {",,", true},
        {"anna@example.com, ", false}, // a blank piece is not skipped
        {"anna@example.com, ben", false},
        {"ben, anna@example.com", false},
    };
    expectTable(&QvNetValidator::isValidEmailAlsoMultiple, cases);
}

TEST(NetValidator, Domain)
{
    const Case cases[] = {
        {"example.com", true},
        {"www.my-host--2.example.co", true},
        {" mail.example.org ", true},
        {"shop.example.photography", true},
        {"localhost", false},
        {"-host.example.com", false},
        {"host-.example.com", false},
        {"example.c0m", false},
        {"example..com", false},
        {"example.com.", false},
    };
    expectTable(&QvNetValidator::isValidDomain, cases);
}

TEST(NetValidator, NumericDomain)
{
    const Case cases[] = {
        {"10.20.30.40", true},
        {"999.999.999.999", true},
        {" 127.00.00.01 ", true},
        {"1.2.3.4", false},
        {"10.20.30", false},
        {"10.20.30.40.50", false},
        {"10.20.30.4a", false},
    };
    expectTable(&QvNetValidator::isNumericDomain, cases);
}
