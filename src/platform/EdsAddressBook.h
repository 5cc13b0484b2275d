#pragma once
#include "platform/AddressBook.h"

// The desktop's address book served by its data server (every enabled book
// but network directories), where the build has its client library
// (CALVORIN_HAVE_EBOOK; link calvorin_platform_eds). The application installs
// it with AddressBook::setDesktopAddressBook().
AddressBook& edsAddressBook();
