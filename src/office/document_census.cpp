#include "office/document_census.h"

#include <libxml/xmlreader.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string_view>

#include "engine/failure_reason.h"

namespace morvane {

namespace {

constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kDraw = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
constexpr std::string_view kStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";

std::string_view view(const xmlChar* text) {
  return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}

std::size_t repeatCount(xmlTextReaderPtr reader, const char* name) {
  xmlChar* value = xmlTextReaderGetAttributeNs(reader, BAD_CAST name, BAD_CAST kTable.data());
  const long n = value != nullptr ? std::strtol(reinterpret_cast<const char*>(value), nullptr, 10) : 1;
  xmlFree(value);
  return n > 0 ? static_cast<std::size_t>(n) : 1;
}

// Walks the body of a flat OpenDocument file, counting as it goes.
class CensusTaker {
 public:
  explicit CensusTaker(xmlTextReaderPtr reader) : reader_(reader) {}

  void element() {
    const std::string_view ns = view(xmlTextReaderConstNamespaceUri(reader_));
    const std::string_view name = view(xmlTextReaderConstLocalName(reader_));
    const bool empty = xmlTextReaderIsEmptyElement(reader_) != 0;
    if (ns == kOffice && name == "document") textDocument_ = isTextDocument();
    if (ns == kOffice && name == "body") inBody_ = !empty;
    if (ns == kStyle && isHeaderOrFooter(name) && textDocument_ && !empty) ++inHeaderOrFooter_;
    if (!counting()) return;
    if (ns == kOffice && name == "binary-data" && !empty) ++inBinary_;
    if (ns == kText && (name == "p" || name == "h") && !empty) ++inParagraph_;
    if (ns == kTable && name == "table-row") rowRepeat_ = repeatCount(reader_, "number-rows-repeated");
    if (ns == kTable && name == "table-cell") startCell(empty);
    if (ns == kDraw && isDrawing(name)) ++census_.drawings;
  }

  void endElement() {
    const std::string_view ns = view(xmlTextReaderConstNamespaceUri(reader_));
    const std::string_view name = view(xmlTextReaderConstLocalName(reader_));
    if (ns == kOffice && name == "body") inBody_ = false;
    if (ns == kStyle && isHeaderOrFooter(name) && inHeaderOrFooter_ > 0) --inHeaderOrFooter_;
    if (!counting()) return;
    if (ns == kOffice && name == "binary-data" && inBinary_ > 0) --inBinary_;
    if (ns == kText && (name == "p" || name == "h") && inParagraph_ > 0) --inParagraph_;
    if (ns == kTable && name == "table-cell") endCell();
  }

  void text() {
    if (!counting() || inBinary_ > 0 || inParagraph_ == 0) return;
    const std::size_t visible = visibleCharacters(view(xmlTextReaderConstValue(reader_)));
    census_.textCharacters += visible;
    if (visible > 0) cellHasText_ = true;
  }

  const DocumentCensus& census() const { return census_; }

 private:
  // The body counts, and in a text document its headers and footers.
  bool counting() const { return inBody_ || inHeaderOrFooter_ > 0; }

  bool isTextDocument() {
    xmlChar* type = xmlTextReaderGetAttributeNs(reader_, BAD_CAST "mimetype", BAD_CAST kOffice.data());
    const bool text = view(type) == "application/vnd.oasis.opendocument.text";
    xmlFree(type);
    return text;
  }

  static bool isHeaderOrFooter(std::string_view name) {
    return name.starts_with("header") || name.starts_with("footer");
  }

  static bool isDrawing(std::string_view name) {
    static const std::set<std::string_view> kDrawings = {
        "frame", "custom-shape", "rect",  "ellipse", "circle",  "line",
        "polyline", "polygon",   "path",  "connector", "image", "regular-polygon"};
    return kDrawings.contains(name);
  }

  void startCell(bool empty) {
    xmlChar* type = xmlTextReaderGetAttributeNs(reader_, BAD_CAST "value-type", BAD_CAST kOffice.data());
    cellHasValue_ = type != nullptr;
    xmlFree(type);
    cellHasText_ = false;
    cellRepeat_ = repeatCount(reader_, "number-columns-repeated");
    if (empty) endCell();
  }

  void endCell() {
    if (cellHasValue_ || cellHasText_) census_.cells += cellRepeat_ * rowRepeat_;
    cellHasValue_ = cellHasText_ = false;
  }

  xmlTextReaderPtr reader_;
  DocumentCensus census_;
  bool inBody_ = false;
  bool textDocument_ = false;
  int inHeaderOrFooter_ = 0;
  int inBinary_ = 0;
  int inParagraph_ = 0;
  std::size_t rowRepeat_ = 1;
  std::size_t cellRepeat_ = 1;
  bool cellHasValue_ = false;
  bool cellHasText_ = false;
};

}  // namespace

Status takeCensus(const std::string& flatOdfPath, DocumentCensus* census) {
  // libxml reads the file itself, streaming it (it may be hundreds of MB);
  // the worker runs this on its own output, so no Env stands between.
  std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)> reader(
      xmlReaderForFile(flatOdfPath.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE),
      xmlFreeTextReader);
  if (!reader) return Status::error("cannot read " + flatOdfPath);
  CensusTaker taker(reader.get());
  int rc = 0;
  while ((rc = xmlTextReaderRead(reader.get())) == 1) {
    switch (xmlTextReaderNodeType(reader.get())) {
      case XML_READER_TYPE_ELEMENT: taker.element(); break;
      case XML_READER_TYPE_END_ELEMENT: taker.endElement(); break;
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA: taker.text(); break;
      default: break;
    }
  }
  if (rc != 0) return Status::error("the document LibreOffice wrote cannot be parsed: " + flatOdfPath);
  *census = taker.census();
  return {};
}

Status checkNothingLost(const IworkContent& source, const DocumentCensus& loaded) {
  if (source.cells > 0 && loaded.cells == 0) {
    return FailureReason::worded(FailureKind::damaged,
                                 "the document holds %1 table cells, but LibreOffice read none of "
                                 "them; nothing was converted",
                                 {std::to_string(source.cells)})
        .status();
  }
  if (source.textCharacters > 0 && loaded.textCharacters == 0 && loaded.cells == 0) {
    return FailureReason::worded(FailureKind::damaged,
                                 "the document holds text, but LibreOffice read none of it; "
                                 "nothing was converted",
                                 {})
        .status();
  }
  return {};
}

}  // namespace morvane
