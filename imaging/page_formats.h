// The file kinds of pagefilelib: detection, and the BMP, PCX and FAX codecs over the imaging
// library's pages (TIFF goes through tiff_pages). Internal to pagefilelib, its tests and fuzz targets.
// Every reader checks each header value against the bytes the file holds before it believes it.
#pragma once

#include "imaging/bmp_header.h"
#include "imaging/tiff_pages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qelta::imaging::pagefile {

// Files larger than this are not read whole (BMP, PCX and FAX files are).
constexpr uint64_t kMaxFileBytes = uint64_t{1} << 30;

// The type (PF_TYPE_) of a file that starts with these bytes; size is the whole file's.
int detectType(const uint8_t* head, size_t size);
// The type of the file at path, or the error code (negative) when it cannot be read.
int detectFileType(const std::string& path);

// The whole file into bytes; 0 or an error code.
int16_t readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// Writes bytes as path: beside it, then renamed over it. 0 or an error code.
int16_t replaceFile(const std::string& path, const std::vector<uint8_t>& bytes);

// ---- PCX ----
struct PcxInfo {
    uint8_t version = 0;
    uint32_t width = 0, height = 0;
    unsigned bitsPerPixel = 0, planes = 0; // 1 x 1 to 4 planes, 2, 4 or 8 x 1, or 8 x 3
    uint16_t xDpi = 0, yDpi = 0;
};
int16_t readPcxHeader(const uint8_t* data, size_t size, PcxInfo& info);
int16_t decodePcx(const uint8_t* data, size_t size, Page& page);
// A one-bit PCX file of a page (an RGB page is made bilevel first).
std::vector<uint8_t> encodePcx(const Page& page);

// ---- FAX ----
constexpr uint16_t kFaxVersion = 1;
struct FaxPage {
    uint32_t width = 0, height = 0;
    uint16_t xDpi = 0, yDpi = 0;
    uint64_t offset = 0; // of the page's data in the file
    uint32_t length = 0;
};
// The page table of a FAX file; every page header and length checked against the size.
int16_t indexFax(const uint8_t* data, size_t size, std::vector<FaxPage>& pages);
int16_t decodeFaxPage(const uint8_t* data, const FaxPage& entry, Page& page);
// A FAX file of the pages that `kept` (pages of an earlier file, raw, with their data in `from`)
// and `pages` (bilevel after thresholding) give, in that order.
int16_t encodeFax(const uint8_t* from, const std::vector<FaxPage>& kept, const std::vector<const Page*>& pages,
                  std::vector<uint8_t>& out);

// ---- BMP ----
struct BmpInfo {
    BmpHeader header;
    uint32_t width = 0, height = 0;
    unsigned bitsPerPixel = 0, colours = 0; // colours: palette entries, 0 above 8 bits
    uint16_t xDpi = 0, yDpi = 0;            // 0: the file gives none
};
int16_t readBmpHeader(const uint8_t* data, size_t size, BmpInfo& info);
// The page of a BMP file: plain rows of 1, 4, 8, 24 or 32 bits (bit fields too), or RLE8 and RLE4
// runs. One-bit files give bilevel pages, the others RGB pages.
int16_t decodeBmp(const uint8_t* data, size_t size, Page& page);
// A one-bit BMP file of a page (an RGB page is made bilevel first).
std::vector<uint8_t> encodeBmp(const Page& page);

// The library's compression code of a stored TIFF compression, and back (false: not writable).
uint16_t compressionCode(Compression compression);
bool compressionOfCode(int32_t code, Compression& compression);

// The error code of a tiff_pages status.
int16_t codeOf(Status status);

} // namespace qelta::imaging::pagefile
