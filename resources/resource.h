// Resource ids of corvtray.
#pragma once

#define IDR_MAINFRAME 128
#define ID_APP_EXIT 57665
#define ID_APP_ABOUT 57664
#define ID_HELP_README 186
#define ID_TRAY_EXIT 141
