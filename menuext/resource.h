/* Resource identifiers of Pelmora.dll. */
#ifndef PELMORA_MENUEXT_RESOURCE_H
#define PELMORA_MENUEXT_RESOURCE_H

#define IDS_PRODUCT_FOLDER 102

#endif
