// Resource identifiers of the emulated device's contacts library.
#pragma once

#define IDD_CONTACT_CHOOSER 100
#define IDC_CONTACT_LIST 1000
