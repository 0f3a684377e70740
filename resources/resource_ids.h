// Names and numeric ids of the runtime's resources. Included by the resource
// script and by the C++ code; the part inside !RC_INVOKED is C++ only.
#pragma once

// Menu item of the "MAIN1" menu and of every menu that SETMENU builds.
#define IDM_ABOUT 55555

// "TEXTBOX" dialog.
#define IDC_TEXT_PROMPT 21  // static: the prompt
#define IDC_TEXT_EDIT 22    // edit: the text

// "LISTBOX" dialog.
#define IDC_LIST 100        // list box (sorted, notifies double clicks)

// "USERABOUTBOX" dialog.
#define IDC_USER_HEADING 1004  // second text of ABOUTUSER
#define IDC_USER_BODY 1005     // third text of ABOUTUSER

// The picture at the top of the "ABOUTBOX" dialog.
#define IDB_ABOUT 107

// Three cursors carried in the executable (monochrome, 32 x 32). USECURSOR
// takes the shared system cursors; these are loaded with
// LoadCursorA(instance, MAKEINTRESOURCEA(id)) by code that wants its own.
#define IDR_CURSOR_CROSS 201    // cross hair, hot spot in the middle
#define IDR_CURSOR_PENCIL 202   // pencil, hot spot at the tip
#define IDR_CURSOR_MAGNIFY 203  // magnifying glass, hot spot at the lens centre

// File and product version of the version block.
#define TARVO_VERSION_NUM 4, 0, 0, 0

#ifndef RC_INVOKED
// Resource names, as the program loads them.
#define RES_MENU_MAIN "MAIN1"
#define RES_DLG_ABOUT "ABOUTBOX"
#define RES_DLG_USERABOUT "USERABOUTBOX"
#define RES_DLG_TEXT "TEXTBOX"
#define RES_DLG_LIST "LISTBOX"
#define RES_ICON_APP "Tarvo1"  // class icon of the main window; in ABOUTBOX

// The numbered icons "TARVO01" .. "TARVO17" (ICON01 .. ICON17 of DRAWICON).
#define RES_ICON_COUNT 17
inline constexpr const char* kResIconNames[RES_ICON_COUNT] = {
    "TARVO01", "TARVO02", "TARVO03", "TARVO04", "TARVO05", "TARVO06",
    "TARVO07", "TARVO08", "TARVO09", "TARVO10", "TARVO11", "TARVO12",
    "TARVO13", "TARVO14", "TARVO15", "TARVO16", "TARVO17"};
#endif
