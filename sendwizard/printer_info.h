// The printer a job goes to and what the wizard learns about it: its port (the device URI), its
// driver (make and model) and the model type that "device.env" gives for that driver.
#pragma once

#include <string>
#include <string_view>

class IPrompter;

/// The model type of a printer whose driver has no line in "device.env".
inline constexpr int kUnknownModelType = 99;
/// Most bytes of "device.env" read.
inline constexpr size_t kMaxDeviceEnvBytes = 1 << 20;

/// The model type a model table gives for a driver: the first line that starts with the driver
/// name, is exactly two characters longer (its line end not counted) and ends in a digit gives
/// that digit; kUnknownModelType when no line does (or the driver name is empty).
int FindModelType(std::string_view strTable, std::string_view strDriverName);

/// The model type from the table file at path; kUnknownModelType when it cannot be read.
int ReadModelTypeFile(const std::string& strPath, const std::string& strDriverName);

/// The printer's port name (its device URI) and driver name (its make and model). False, with both
/// empty, when the print system does not know the printer.
bool ReadPrinterInfo(const std::string& strPrinter, std::string& strPortName, std::string& strDriverName);

/// The picture of a model type: 0 -> 154, 1 -> 153, 2 -> 149, 3 -> 151, any other -> 155.
int ModelPictureFor(int nModelType);

/// The destination-count limit of a model type: 0 -> 300, 3 -> 500, any other -> 200.
int DestinationLimitFor(int nModelType);

/// The printer the job goes to: the user-defined printer when one is in use and the print system
/// knows it; when it does not, the user is told (STRING 3115) and the command line's printer is used.
std::string ChoosePrinter(const std::string& strCommandLinePrinter, IPrompter& prompter);
