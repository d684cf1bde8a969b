/* setuphelper: small queries and actions around the fax printer for the installer, over the CUPS
 * server (CUPS_SERVER, else the system's). Ports are device URIs; printers are queues (see
 * driversetupnt.h for how a printer name becomes a queue). Owner handles are opaque (NULL: none). */
#ifndef QELTA_SETUP_SETUPHELPER_H
#define QELTA_SETUP_SETUPHELPER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SETUPHELPER_EXPORT __attribute__((visibility("default")))

/* Shows a message: type 0 is an OK box, 0x24 a Yes/No question; returns 1 (OK), 6 (Yes) or 7 (No). */
typedef int32_t (*SetupHelperMessageBoxFn)(void* owner, const char* caption, const char* text, uint32_t type);

/* Installs the message box (NULL: Qt boxes where a display is, else standard error and No). */
SETUPHELPER_EXPORT void SetupHelperSetMessageBox(SetupHelperMessageBoxFn show);

/* Chooses a printer: writes the queue name, or the URI of a network printer that has no queue,
 * into path (at most 260 bytes with the terminator). 1 when one was chosen, else 0 (also without
 * a display). */
SETUPHELPER_EXPORT int SETUPHELPERr(void* owner, char* path);

/* Appends the usable ports to list (its text stays in front), comma-separated, each only when it
 * fits into size bytes with the terminator; returns how many were appended. */
SETUPHELPER_EXPORT int GetPort(void* ignored, char* list, size_t size);

/* Makes the printer the CUPS server's default destination: the queue IPD recorded for the name,
 * else a queue that prints with a driver of the printer list ("drivername", "drivername%d") or of
 * a record, looked for as PrinterCheck walks the names. The default it replaces is remembered, and
 * comes back when the printer is removed while still the default. 0, also when it cannot be made
 * the default: that is told on standard error. */
SETUPHELPER_EXPORT int SDP(void* ignored, const char* printerName);

/* Removes the printer "name" of the printer list when its driver "drivername" is installed (see
 * SDP for the default); 0. */
SETUPHELPER_EXPORT int UninstInitialize(void);

/* Does nothing; 0. */
SETUPHELPER_EXPORT int UninstUnInitialize(void);

/* 1 when a port (device URI) begins with "USB" in any case, else 0. */
SETUPHELPER_EXPORT int USBCheck(void);

/* 0: no machine here is a PC-98. */
SETUPHELPER_EXPORT int Is9821(void);

#ifdef __cplusplus
}
#endif

#endif
