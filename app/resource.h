#pragma once
// Resource ids of Tarnbell.exe.
#define IDI_TARNBELL 1
#define IDI_TRAY_NORMAL 101
#define IDI_TRAY_MUTED 102
#define IDI_TRAY_MIC_MUTED 103
#define IDB_ABOUT 201
// The same picture as a JPEG, for a Windows without the imaging component.
#define IDB_ABOUT_JPEG 202
