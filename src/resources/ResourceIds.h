/* Names of the library's pictures and icon in its resource section. Included by
   TarvikD.rc and by C++, so a name is written once. */
#pragma once

/* The plug-in's icon: 16, 32 and 48 pixels. */
#define TARVIK_RES_MAINICON "MAINICON"

/* The editors' artwork, 24-bit bitmaps. */
#define TARVIK_RES_TITULO "TITULO"                   /* 17 x 15, the title tab's picture */
#define TARVIK_RES_PANEL "PANEL"                     /* 263 x 62, behind each field */
#define TARVIK_RES_SEPARATOR "SEPARATOR"             /* 4 x 24, between picker buttons */
#define TARVIK_RES_GLYPH_VARIABLES "GLYPH_VARIABLES" /* 19 x 19 on magenta */
#define TARVIK_RES_GLYPH_OBJECTS "GLYPH_OBJECTS"     /* 19 x 19 on magenta */
#define TARVIK_RES_GLYPH_FILES "GLYPH_FILES"         /* 19 x 19 on magenta */

/* The About box's picture: a 150 x 150 baseline JPEG, stored as raw data. */
#define TARVIK_RES_ABOUT_PICTURE "ABOUT_PICTURE"
