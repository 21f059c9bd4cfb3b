/* Resource identifiers of PelmoraSetting.exe. Plain preprocessor text: read by the resource
   compiler as well as by C++. */
#ifndef PELMORA_SETTING_APP_RESOURCE_H
#define PELMORA_SETTING_APP_RESOURCE_H

#define IDS_APP_TITLE 1
#define IDS_APP_CLASS 2
#define IDS_SOFTKEY_OK 103
#define IDS_SOFTKEY_MENU 105
#define IDS_SAVE_FAILED 106

#define IDI_APP 101
#define IDR_ACCELERATORS 2
#define IDR_MENU_BAR 102 /* the menu and the menu-bar RCDATA share the id */

#define IDD_MAIN_PAGE 129
#define IDD_SIGNATURE_PAGE 130
#define IDD_REPLY_PAGE 131
#define IDD_QUOTE_PAGE 132

#define IDM_OK 40000
#define IDM_CANCEL 32771
#define IDM_ADVANCED 32776

#define IDC_STATIC_NONE (-1)
#define IDC_CONNECT_CHECK 1000
#define IDC_CONNECT_LIST 1001
#define IDC_ACCOUNT_CHECK 1002
#define IDC_ACCOUNT_LIST 1003
#define IDC_QUOTE_CHECK 1004
#define IDC_QUOTE_STRING 1005
#define IDC_BCC_BROWSE 1007
#define IDC_SIGNATURE 1008
#define IDC_CC 1009
#define IDC_BCC 1010
#define IDC_CC_BROWSE 1011
#define IDC_PRIO_FROM 1012
#define IDC_RES_ALL 1013
#define IDC_RES_ALL_CC 1014

#endif
