// vCard files from outside bytes. The reader gives a reason or people, never
// both; every label is one it knows; no NUL reaches a value.
#include "platform/VCardReader.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool knownLabel(const QString& label)
{
    for (const QString* known : {&AddressBook::kPhoneHomeLabel, &AddressBook::kPhoneWorkLabel,
                                 &AddressBook::kPhoneHomeFAXLabel, &AddressBook::kPhoneWorkFAXLabel,
                                 &AddressBook::kPhoneMobileLabel, &AddressBook::kHomePageLabel, &AddressBook::kOtherLabel})
        if (label == *known)
            return true;
    return false;
}

template <class List>
void checkLabels(const List& values)
{
    for (const auto& value : values)
        if (!knownLabel(value.label))
            std::abort();
}

void checkText(const QString& text)
{
    if (text.contains(QChar(0)))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Small limits, so that inputs of a fuzzer's size reach them.
    VCardLimits limits;
    limits.maxValueBytes = 4096;
    limits.maxCards = 64;
    limits.maxPropertiesPerCard = 64;
    const AddressBookPeople read = VCardReader::read(bytes, limits);
    if (!read.ok()) {
        if (!read.people.isEmpty() || read.skippedCards != 0)
            std::abort();
        return 0;
    }
    if (read.people.size() > limits.maxCards)
        std::abort();
    for (const AddressBookPerson& person : read.people) {
        for (const QString* text : {&person.firstName, &person.lastName, &person.organization, &person.note})
            checkText(*text);
        checkLabels(person.phones);
        checkLabels(person.emails);
        checkLabels(person.urls);
        checkLabels(person.addresses);
        for (const auto& phone : person.phones)
            checkText(phone.value);
    }
    return 0;
}
