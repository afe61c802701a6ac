/* Bitmap resource ids. Plain #defines: the resource compiler reads this file too. */
#pragma once

#define IDB_KNOB_STRIP 101
#define IDB_LAMP 113
#define IDB_BACKGROUND 114
