// Grey pictures and their block likeness, for the fidelity benchmark.
#include "fidelity_image.h"

#include <jpeglib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace morvane::fidelity {

namespace {

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Decodes an open JPEG file to grey; false on a damaged or unusual one.
bool decodeJpeg(std::FILE* file, GreyImage* image) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = onJpegError;
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  image->width = static_cast<int>(info.output_width);
  image->height = static_cast<int>(info.output_height);
  image->pixels.assign(static_cast<std::size_t>(image->width) * image->height, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        image->pixels.data() + static_cast<std::size_t>(info.output_scanline) * image->width;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// The next number of a PGM header, past whitespace and comments.
bool readHeaderNumber(std::istream& in, int* value) {
  for (int c = in.peek(); c == '#' || std::isspace(c); c = in.peek()) {
    if (c == '#') {
      std::string comment;
      std::getline(in, comment);
    } else {
      in.get();
    }
  }
  return static_cast<bool>(in >> *value);
}

}  // namespace

Status readJpegGrey(const std::string& path, GreyImage* image) {
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
  if (file == nullptr) return Status::error(path + " cannot be opened");
  if (!decodeJpeg(file.get(), image))
    return Status::error(path + " is no JPEG picture it can read");
  return {};
}

Status readPgm(const std::string& path, GreyImage* image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  if (!(in >> magic) || magic != "P5" || !readHeaderNumber(in, &image->width) ||
      !readHeaderNumber(in, &image->height) || !readHeaderNumber(in, &maxValue) ||
      maxValue != 255 || image->width <= 0 || image->height <= 0) {
    return Status::error(path + " is no 8-bit binary PGM picture");
  }
  in.get();  // the one whitespace before the pixels
  image->pixels.assign(static_cast<std::size_t>(image->width) * image->height, 0);
  if (!in.read(reinterpret_cast<char*>(image->pixels.data()),
               static_cast<std::streamsize>(image->pixels.size()))) {
    return Status::error(path + " is cut short");
  }
  return {};
}

int blockRows(int width, int height, int columns) {
  if (width <= 0 || height <= 0) return 1;
  const int rows = static_cast<int>(std::lround(static_cast<double>(columns) * height / width));
  return rows < 1 ? 1 : rows;
}

std::vector<double> blockDarkness(const GreyImage& image, int columns, int rows) {
  std::vector<double> sums(static_cast<std::size_t>(columns) * rows, 0.0);
  std::vector<double> counts(sums.size(), 0.0);
  for (int y = 0; y < image.height; ++y) {
    const int row = static_cast<int>(static_cast<long long>(y) * rows / image.height);
    for (int x = 0; x < image.width; ++x) {
      const int column = static_cast<int>(static_cast<long long>(x) * columns / image.width);
      const std::size_t block = static_cast<std::size_t>(row) * columns + column;
      sums[block] += 255.0 - image.pixels[static_cast<std::size_t>(y) * image.width + x];
      counts[block] += 1.0;
    }
  }
  for (std::size_t i = 0; i < sums.size(); ++i) {
    if (counts[i] > 0) sums[i] /= counts[i];
  }
  return sums;
}

double pearson(const std::vector<double>& a, const std::vector<double>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  if (n == 0) return 0.0;
  double meanA = 0, meanB = 0;
  for (std::size_t i = 0; i < n; ++i) {
    meanA += a[i];
    meanB += b[i];
  }
  meanA /= static_cast<double>(n);
  meanB /= static_cast<double>(n);
  double covariance = 0, varianceA = 0, varianceB = 0;
  for (std::size_t i = 0; i < n; ++i) {
    covariance += (a[i] - meanA) * (b[i] - meanB);
    varianceA += (a[i] - meanA) * (a[i] - meanA);
    varianceB += (b[i] - meanB) * (b[i] - meanB);
  }
  if (varianceA <= 0 || varianceB <= 0) return 0.0;
  return covariance / std::sqrt(varianceA * varianceB);
}

double likeness(const GreyImage& reference, const GreyImage& page) {
  const int rows = blockRows(reference.width, reference.height);
  const std::vector<double> a = blockDarkness(reference, kBlockColumns, rows);
  const std::vector<double> b = blockDarkness(page, kBlockColumns, rows);
  // Two empty pages hold the same ink (none); JPEG noise is no ink.
  const auto blank = [](const std::vector<double>& blocks) {
    return std::ranges::all_of(blocks, [](double d) { return d < kInkThreshold; });
  };
  if (blank(a) || blank(b)) return blank(a) && blank(b) ? 1.0 : 0.0;
  return pearson(a, b);
}

}  // namespace morvane::fidelity
