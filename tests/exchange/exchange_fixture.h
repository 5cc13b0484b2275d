#pragma once
// A contacts document test with the exchange managers installed for its length.
#include "document/test_document_fixture.h"
#include "exchange/ExchangeInstall.h"

class ExchangeDocumentTest : public ContactsDocumentTest {
protected:
    void SetUp() override
    {
        ContactsDocumentTest::SetUp();
        installExchangeManagers();
    }
    void TearDown() override
    {
        ContactsDocumentTest::TearDown();
        installDocumentExchange({});
    }
};
