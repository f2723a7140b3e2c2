/* Identifiers of the plug-in's resources and of the controls in its windows
   and dialog templates. Plain #defines: the resource compiler reads this too. */
#ifndef SONDREL_RESOURCE_IDS_H
#define SONDREL_RESOURCE_IDS_H

/* Cursor and icons. */
#define IDCUR_SONDREL 101        /* arrow cursor of both skinned windows */
#define IDI_SONDREL 109          /* window icon */
#define IDI_VOLUME 137           /* icon on the volume-control button of the configuration dialog */

/* Dialog templates. */
#define IDD_WAVE_PROPERTIES 103  /* "Wavefile Properties" */
#define IDD_PROGRESS 117         /* "Working, please wait..." */
#define IDD_PRERECORDER_CONFIG 136 /* "Configure Pre-Recorder" */

/* Main window skin (bitmaps). Push-button images hold 4 frames stacked
   vertically (normal, disabled, hover, pressed); toggle-button images hold 8
   (those four off, then the same four on). */
#define IDB_MAIN_BACKGROUND 111  /* 485 x 272, 8 bits per pixel */
#define IDB_MAIN_MASK 112        /* 485 x 272, 1 bit per pixel, white = outside */
#define IDB_OPEN 120             /* push button, 22 x 88: eject */
#define IDB_CLOSE 121            /* push button, 22 x 88: cross */
#define IDB_LOOP 122             /* toggle button, 15 x 80: loop arrow */
#define IDB_PAUSE 123            /* toggle button, 22 x 176: pause bars */
#define IDB_PLAY_STOP 124        /* toggle button, 22 x 176: play (off), stop (on) */
#define IDB_SYNC 125             /* toggle button, 17 x 64: red bar */
#define IDB_LED_LIT 126          /* 15 x 15 */
#define IDB_LED_UNLIT 127        /* 15 x 15 */
#define IDB_INFO 128             /* push button, 30 x 56: "info" */
#define IDB_PRERECORDER_TOGGLE 129 /* push button, 45 x 80: "record" */

/* Pre-recorder window skin (bitmaps). */
#define IDB_PRERECORDER_BACKGROUND 130 /* 313 x 119, 8 bits per pixel */
#define IDB_PRERECORDER_MASK 131       /* 313 x 119, 1 bit per pixel, white = outside */
#define IDB_RECORD_START 132           /* push button, 20 x 68: red key with a dot */
#define IDB_RECORD_STOP 133            /* push button, 20 x 68: blue key with a square */
#define IDB_RECORD_LED_LIT 134         /* 11 x 11 */
#define IDB_RECORD_LED_UNLIT 135       /* 11 x 11 */

/* String table. */
#define IDS_AUDIO_TRACK 1            /* "audio track" */
#define IDS_RIGHT_SUFFIX 2           /* "[right]" */
#define IDS_OPEN_FILE 3              /* "open file" */
#define IDS_CLOSE_FILE 4             /* "close file" */
#define IDS_PLAY_STOP_TRACK 5        /* "play/stop track" */
#define IDS_PAUSE_TRACK 6            /* "pause track" */
#define IDS_LOOP_FOREVER 7           /* "loop forever" */
#define IDS_SYNCHRONIZE_TRACK 8      /* "syncronize track" */
#define IDS_PRERECORDER 9            /* "pre-recorder" */
#define IDS_TOGGLE_PRERECORDER 10    /* "toggle pre-recorder" */
#define IDS_START_RECORDING 11       /* "start recording" */
#define IDS_STOP_RECORDING 12        /* "stop recording" */
#define IDS_BROWSE_OUTPUT_FILE 13    /* "browse output file..." */
#define IDS_SAVE_WAVE_AS 14          /* "Save wave as" */
#define IDS_EXECUTE_VOLUME_CONTROL 15 /* "execute volume control" */

/* Main window controls: the first of four, one per channel c = 0..3 (add c). */
#define IDC_OPEN_FIRST 1
#define IDC_CLOSE_FIRST 5
#define IDC_PLAY_STOP_FIRST 9
#define IDC_PAUSE_FIRST 13
#define IDC_VIEW_FIRST 17
#define IDC_NAME_FIRST 21
#define IDC_SYNC_FIRST 25
#define IDC_LOOP_FIRST 29
#define IDC_LED_FIRST 33
#define IDC_PROPERTIES_FIRST 37
#define IDC_PRERECORDER_TOGGLE 41

/* Pre-recorder window controls. */
#define IDC_REC_TRACE 1
#define IDC_REC_START 2
#define IDC_REC_STOP 3
#define IDC_REC_LED 4
#define IDC_REC_OUTPUT 5

/* Wave properties dialog (103). The OK button is IDOK (1). */
#define IDC_PROP_FILENAME 1005
#define IDC_PROP_RATE 1006
#define IDC_PROP_BYTES_PER_SEC 1007
#define IDC_PROP_BITS 1008
#define IDC_PROP_INFO 1009
#define IDC_PROP_FORMAT 1010
#define IDC_PROP_CHANNELS 1011
#define IDC_PROP_ALIGN 1012
#define IDC_PROP_TOTAL_TIME 1023
#define IDC_PROP_IGNORED 1026

/* Progress dialog (117). */
#define IDC_PROGRESS_BAR 1024
#define IDC_PROGRESS_TEXT 1025

/* Pre-recorder configuration dialog (136). "&Apply" is IDOK (1), "&Close" IDCANCEL (2). */
#define IDC_CONFIG_VOLUME 1021
#define IDC_CONFIG_DEVICE 1027
#define IDC_CONFIG_MONO 1028
#define IDC_CONFIG_STEREO 1029

#endif
