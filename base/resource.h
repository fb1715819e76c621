/* The installer's resource numbers, shared by the resource script and the
   code: page templates, page-table slots, control IDs and icon groups.
   Control order inside a template lives in the script alone. Plain
   #defines, so that windres's preprocessor reads this file as well. */
#ifndef BRONDALE_BASE_RESOURCE_H
#define BRONDALE_BASE_RESOURCE_H

/* Page templates. */
#define IDD_LANGUAGE 50
#define IDD_CONFIRM 51
#define IDD_LICENCE 52
#define IDD_PROGRESS 53
#define IDD_DESTINATION 54
#define IDD_OPTIONS 56

/* Slots of the page table (HwndMain); slot 3 stays empty. */
#define PAGE_LANGUAGE 0
#define PAGE_CONFIRM 1
#define PAGE_LICENCE 2
#define PAGE_DESTINATION 4
#define PAGE_PROGRESS 5
#define PAGE_OPTIONS 6
#define PAGE_SLOTS 7

/* Icon groups: 1 the program file's, 2 to 6 one for each page. */
#define IDI_PROGRAM 1
#define IDI_LANGUAGE 2
#define IDI_CONFIRM 2
#define IDI_LICENCE 3
#define IDI_DESTINATION 4
#define IDI_PROGRESS 5
#define IDI_OPTIONS 6

/* The picture on every page. */
#define IDC_PAGE_ICON 10

/* Language page. */
#define IDC_LANGUAGE_OK 100
#define IDC_LANGUAGE_CANCEL 101
#define IDC_LANGUAGE_TEXT 200
#define IDC_LANGUAGE_LIST 600

/* Confirmation page. */
#define IDC_CONFIRM_INSTALL 102
#define IDC_CONFIRM_CANCEL 103
#define IDC_CONFIRM_TEXT 201

/* Licence page. */
#define IDC_LICENCE_NEXT 104
#define IDC_LICENCE_CANCEL 105
#define IDC_LICENCE_ACCEPT 300
#define IDC_LICENCE_TEXT 500

/* Destination page. */
#define IDC_DESTINATION_BROWSE 108
#define IDC_DESTINATION_NEXT 109
#define IDC_DESTINATION_CANCEL 110
#define IDC_DESTINATION_LABEL 205
#define IDC_DESTINATION_PATH 402

/* Progress page: bars and percentage labels 0 (the section) and 1 (the
   file being written); the worker's completion command. */
#define IDC_PROGRESS_CANCEL 107
#define IDC_PROGRESS_DONE 112
#define IDC_PROGRESS_TEXT 202
#define IDC_PROGRESS_FILE_TEXT 204
#define IDC_PROGRESS_PERCENT 208
#define IDC_PROGRESS_FILE_PERCENT 209
#define IDC_PROGRESS_BAR 700
#define IDC_PROGRESS_FILE_BAR 701

/* Options page: the four boxes in this order. */
#define IDC_OPTIONS_FINISH 114
#define IDC_OPTIONS_TEXT 203
#define IDC_OPTION_DESKTOP 300
#define IDC_OPTION_MENU 301
#define IDC_OPTION_INFO 302
#define IDC_OPTION_RUN 303

#endif
