/* driversetupnt: installs and removes the fax printer on the CUPS server (CUPS_SERVER, else the
 * system's). The printer is a queue whose description is the printer name and whose queue name is
 * that name with the characters CUPS refuses in names turned into "_"; its port is the queue's
 * device URI ("qelta:/NAME" for a plain port name); its driver is the queue's PPD, whose NickName
 * is the driver name. Texts come from "prname.ini" in the install directory (HKLM "TQL Directory").
 * Paths are UTF-8. Owner handles are opaque (NULL: none). */
#ifndef QELTA_SETUP_DRIVERSETUPNT_H
#define QELTA_SETUP_DRIVERSETUPNT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DRIVERSETUP_EXPORT __attribute__((visibility("default")))

/* Shows a message: type 0 is an OK box, 0x24 a Yes/No question; returns 1 (OK), 6 (Yes) or 7 (No). */
typedef int32_t (*DriverSetupMessageBoxFn)(void* owner, const char* caption, const char* text, uint32_t type);

/* Installs the message box (NULL: Qt boxes where a display is, else standard error and No). */
DRIVERSETUP_EXPORT void DriverSetupSetMessageBox(DriverSetupMessageBoxFn show);

/* Installs: copies the driver files from driverSourceDir ("NT" + each name) and the help file from
 * helpSourceDir into the install directory's "driver/", then makes the queue. The queue recorded
 * for the name, or a queue of the name (or of a name PrinterCheck tries after it) that prints with
 * driverName, is the printer, which then stays as it is; a queue of another driver keeps its name,
 * and the printer is made under the free name PrinterCheck gives. The queue is recorded for the
 * name in the machine hive: every later lookup of the name (spooler, SDP, removal) takes it first.
 * 0 when done, and 0 after a failure that was shown with its reason (files already copied stay). */
DRIVERSETUP_EXPORT int IPD(void* owner, const char* driverName, const char* printerName, const char* ignored1,
                           const char* driverSourceDir, const char* ignored2, const char* portName,
                           const char* helpSourceDir);

/* Deletes the file at once; nonzero when it is gone. */
DRIVERSETUP_EXPORT int MFE(const char* path);

/* Removes every printer of the printer list (the queue IPD recorded for a name and driver, exactly
 * that one; for a printer installed before records were kept, the first queue of its driver the
 * names lead to), the driver files and the work files; 0. */
DRIVERSETUP_EXPORT int DPD(void);

/* Closes the result monitor and the receiver, asks when several printers are listed, then DPD.
 * 0 = done (or nothing to do), -1 = the user declined. */
DRIVERSETUP_EXPORT int UninstInitialize(void* owner);

/* Does nothing; 0. */
DRIVERSETUP_EXPORT int UninstUnInitialize(void);

/* Writes into freeName (at most 260 bytes with the terminator) the first free printer name among
 * name, "name (1)", "name (2)", ... (at most 9,999 names are tried); 1 when name itself is taken. */
DRIVERSETUP_EXPORT int PrinterCheck(const char* name, char* freeName);

#ifdef __cplusplus
}
#endif

#endif
