#pragma once

// Resource numbers of the extension library.
#define IDS_PROJNAME 100
#define IDR_PELMOMENU 106
#define IDB_MENU_BITMAP 201
