/* Resource and control identifiers of the player, shared by ostrel.rc and
   the Windows code. Plain defines: the resource compiler reads this too. */
#ifndef OSTREL_RESOURCE_IDS_H
#define OSTREL_RESOURCE_IDS_H

/* Icon, pictures, menu, sound. */
#define IDI_OSTREL 10
#define IDB_ABOUT 16
#define IDM_MAIN 104
#define IDB_TOOLBAR 105
#define IDW_INTRO 129

/* The name a resource is played by: "#" and its number ("#129"). */
#define OSTREL_NUMBER_TEXT(id) #id
#define OSTREL_RESOURCE_NAME(id) "#" OSTREL_NUMBER_TEXT(id)

/* The nine commands of the menu bar and the tool bar. */
#define IDM_OPEN 40001
#define IDM_START 40002
#define IDM_PAUSE 40003
#define IDM_STOP 40004
#define IDM_STREAM 40005
#define IDM_SAVE 40009
#define IDM_ABOUT 40010
#define IDM_SITE 40015
#define IDM_EXIT 40016

/* The OK button of both dialogs (the system's own identifier, which the
   resource compiler's headers already define). */
#ifndef IDOK
#define IDOK 1
#endif

/* Controls of the stream settings dialog. */
#define IDC_ITEM_PREV 40006
#define IDC_ITEM_NEXT 40007
#define IDC_ITEM_NUMBER 40008
#define IDC_POSITION_BAR 40017
#define IDC_VOLUME_BAR 40018

/* Controls of the about dialog. */
#define IDC_ABOUT_PICTURE 21
#define IDC_VERSION 40012
#define IDC_LINK 40013

/* A control nothing addresses. */
#define IDC_UNUSED -1

#endif
