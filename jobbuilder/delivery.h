// Delivering an assembled job stream: to the printer through the spooler as a RAW document split
// into spooler pages, or to the diagnostic redirect file named by the "FileOutput" setting.
#pragma once

#include "jobbuilder/pjl_stream.h"

#include "platform/spooler.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

/// Bytes read from the stream per step of the printer delivery; spooler page breaks fall on
/// multiples of it.
inline constexpr uint64_t kDeliveryPiece = 1024;

/// The redirect file for the setting's path P: P itself when it can be made as a new file, else the
/// first of P.0 … P.255 that can. The target is created (empty) and kept open in fd. Nothing when
/// P is empty, when a creation fails for another reason than an existing file, or when all 257
/// names exist: the job then goes to the printer.
struct CRedirectTarget {
    std::string path;
    int fd = -1;
};
std::optional<CRedirectTarget> CreateRedirectTarget(const std::string& setting);

/// Copies the stream into the redirect target and closes it. On failure the target is removed, so
/// a half-written job never stays behind.
bool DeliverToFile(const CJobStream& stream, CRedirectTarget target);

/// Opens the printer through the spooler in use; null when it cannot, with the reason (the queue's
/// name and what the spooler said) as the thread's error information.
std::unique_ptr<platform::PrinterHandle> OpenPrinterFor(const std::string& printerName);

/// Sends the stream to the printer as one RAW document named jobName, a new spooler page after each
/// stream length / pageCount bytes (at the next piece boundary). A failure once the document has
/// been started cancels it: a truncated job never reaches the device. pageCount must be positive.
bool DeliverToPrinter(const CJobStream& stream, const std::string& printerName, const std::string& jobName,
                      int pageCount);
