/* Resource identifiers of the choice dialog; read by the resource compiler too. */
#ifndef PELMORA_REPLY_CHOICE_DIALOG_IDS_H
#define PELMORA_REPLY_CHOICE_DIALOG_IDS_H

#define IDD_CHOICE_DIALOG 101
#define IDC_CHOICE_LIST 1001

#endif
