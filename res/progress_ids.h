// The progress window's dialog and its controls, shared by its layout
// (progress.rc) and the code that fills it.
#pragma once

#define TAMARISK_PROGRESS_DIALOG 200
#define TAMARISK_PROGRESS_NAME 100
#define TAMARISK_PROGRESS_BAR 101
#define TAMARISK_PROGRESS_PERCENT 102
#define TAMARISK_PROGRESS_AMOUNT 103
#define TAMARISK_PROGRESS_LEFT 104
