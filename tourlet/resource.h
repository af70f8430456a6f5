// Resource numbers shared by the resource script and the code.
#pragma once

#define IDI_VARNOK 1
#define IDB_SIDE_PICTURE 101
