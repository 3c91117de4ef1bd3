// Resource and control ids of the program; shared by the resource script and the code.
#pragma once

// Dialog templates
#define IDD_ABOUT 100
#define IDD_MAIN 129
#define IDD_CREATE_PATH 151
#define IDD_CREATE_DRIVE 152
#define IDD_CREATE_PASSPHRASE 153
#define IDD_MOUNT_PATH 154
#define IDD_MOUNT_DRIVE 155
#define IDD_MOUNT_PASSPHRASE 156
#define IDD_UNMOUNT_DRIVE 157

// Icons
#define IDI_LOCKVALE 128
#define IDI_CREATE 214
#define IDI_MOUNT 215
#define IDI_DISCONNECT 216

// Controls of the wizard pages (besides IDOK 1 for Next/Finish and IDCANCEL 2)
#define IDC_BACK 201
#define IDC_PASSPHRASE 202
#define IDC_LOCATION 203
#define IDC_HEADING 204
#define IDC_VOLUME_LABEL 205
#define IDC_BROWSE 206
#define IDC_CONFIRM 207
#define IDC_ENCRYPT 208
#define IDC_STRENGTH_BAR 209
#define IDC_STRENGTH_TEXT 210
#define IDC_DRIVE 211
#define IDC_PASSPHRASE_LABEL 212
#define IDC_CONFIRM_LABEL 213
#define IDC_MOUNTED_ENTRY 1007

// Controls of the start window
#define IDC_CREATE_LABEL 1001
#define IDC_CREATE 1002
#define IDC_MOUNT 1003
#define IDC_MOUNT_LABEL 1004
#define IDC_DISCONNECT 1005
#define IDC_DISCONNECT_LABEL 1006
#define ID_APP_ABOUT 57664

// About box
#define IDC_ABOUT_ICON 101
#define IDC_ABOUT_VERSION 102
