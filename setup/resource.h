// Resource numbers shared by the resource script and the code.
#pragma once

#define IDI_VARNOK 1
#define IDB_BANNER 101
#define IDB_SIDE_PANEL 102
