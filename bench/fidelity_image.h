// The likeness half of the fidelity benchmark: how closely a rendered
// page puts its ink where Apple's own preview of the document puts it.
// Both pictures are cut into the same grid of square-ish blocks; the
// figure is the Pearson correlation of the blocks' mean darkness.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace morvane::fidelity {

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // row by row, 0 black .. 255 white
};

inline constexpr int kBlockColumns = 48;

Status readJpegGrey(const std::string& path, GreyImage* image);
Status readPgm(const std::string& path, GreyImage* image);  // binary (P5), 8 bits

// The rows of blocks that keep blocks square on a width x height picture
// cut into `columns` columns: round(columns * height / width), at least 1.
int blockRows(int width, int height, int columns = kBlockColumns);

// The mean darkness (255 - grey) of each block, row by row.
std::vector<double> blockDarkness(const GreyImage& image, int columns, int rows);

// Pearson's correlation of two equally long lists; 0 when either is flat.
double pearson(const std::vector<double>& a, const std::vector<double>& b);

// The darkness below which a block holds no ink.
inline constexpr double kInkThreshold = 2.0;

// The likeness of `page` to `reference`, on the reference's grid; two
// pictures without ink are alike (1), one without ink is unlike any (0).
double likeness(const GreyImage& reference, const GreyImage& page);

}  // namespace morvane::fidelity
