/* Section, file and key names of the settings file. Both deliverables' string tables
   include this file, so the two always agree. Plain C preprocessor text: it is read by
   the resource compiler as well as by C++. */
#ifndef PELMORA_SETTINGS_NAMES_H
#define PELMORA_SETTINGS_NAMES_H

#define IDS_SETTINGS_SECTION 1000
#define IDS_SETTINGS_FILE 1001
#define IDS_KEY_CONNECTNAME 1002
#define IDS_KEY_RESACCOUNTINDEX 1003
#define IDS_KEY_SIGNATURE 1004
#define IDS_KEY_QUATE 1005
#define IDS_KEY_RESTEMPLATE 1006
#define IDS_KEY_QUATESTRING 1007
#define IDS_KEY_CC 1008
#define IDS_KEY_BCC 1009
#define IDS_KEY_PRIOFROM 1010
#define IDS_KEY_RESALL 1011
#define IDS_KEY_RESALLCC 1012

#define TEXT_SETTINGS_SECTION "Pelmora"
#define TEXT_SETTINGS_FILE "Pelmora.ini"
#define TEXT_KEY_CONNECTNAME "CONNECTNAME"
#define TEXT_KEY_RESACCOUNTINDEX "RESACCOUNTINDEX"
#define TEXT_KEY_SIGNATURE "SIGNATURE"
#define TEXT_KEY_QUATE "QUATE"
#define TEXT_KEY_RESTEMPLATE "RESTEMPLATE"
#define TEXT_KEY_QUATESTRING "QUATESTRING"
#define TEXT_KEY_CC "CC"
#define TEXT_KEY_BCC "BCC"
#define TEXT_KEY_PRIOFROM "PRIOFROM"
#define TEXT_KEY_RESALL "RESALL"
#define TEXT_KEY_RESALLCC "RESALLCC"

#endif
