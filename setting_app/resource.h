/* Resource identifiers of PelmoraSetting.exe. */
#ifndef PELMORA_SETTING_APP_RESOURCE_H
#define PELMORA_SETTING_APP_RESOURCE_H
#endif
