// Resource IDs of textquirl.exe, shared by textquirl.rc and the window code.
#pragma once

#define IDI_TEXTQUIRL 1
