// Control ids of the driver's self-test dialog (shared by .rc, .cpp and selftest.py).
#pragma once

#define IDD_SAMPLE 100
#define IDC_NAME 1001
#define IDC_ADDRESS 1002
#define IDC_CHOICE 1003
#define IDC_CHECK 1004
#define IDC_CHOICE_ECHO 1005
#define IDC_DRAG_ECHO 1006
#define IDC_COUNT 1007
#define IDC_COUNT_ECHO 1008
#define IDC_BUSY 1009
