// Writing Memo and OLE data to LVAL pages: single rows on a shared page, or chains whose every
// piece is a 4-byte pointer to the next piece followed by up to 2032 data bytes.
#include "dataaccess/jet3/long_value_writer.h"

#include <cstring>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {

LongValueWriter::LongValueWriter(Pager& pager, UsageMap owned, UsageMap freeSpace)
    : pager_(pager), owned_(std::move(owned)), free_(std::move(freeSpace)) {}

void LongValueWriter::inlineHeader(size_t size, uint8_t header[fmt::kLongValueHeaderSize]) {
  std::memset(header, 0, fmt::kLongValueHeaderSize);
  storeU32(header, static_cast<uint32_t>(size) | fmt::kLvInline);
}

void LongValueWriter::store(const uint8_t* data, size_t size, uint8_t header[fmt::kLongValueHeaderSize]) {
  std::memset(header, 0, fmt::kLongValueHeaderSize);
  if (size > fmt::kLvLengthMask) throw dao::formatLimit("長い値が大きすぎます。");
  if (size <= fmt::kLvMaxPieceOnPage) {
    if (sharedPage_ == 0 || !shared_.fits(size)) {
      if (sharedPage_ != 0) {
        retireShared();
        free_.pages().erase(sharedPage_);
      }
      sharedPage_ = pager_.allocate();
      shared_.reset(fmt::kLvalOwner);
      owned_.pages().insert(sharedPage_);
      free_.pages().insert(sharedPage_);
    }
    uint8_t row;
    std::memcpy(shared_.append(size, row), data, size);
    sharedDirty_ = true;
    storeU32(header, static_cast<uint32_t>(size) | fmt::kLvSingleRow);
    storeU32(header + 4, fmt::rowPointer(sharedPage_, row));
    return;
  }
  // A chain: whole pages, each holding one row of pointer + piece.
  const uint32_t pieces = static_cast<uint32_t>((size + fmt::kLvMaxPieceOnPage - 1) / fmt::kLvMaxPieceOnPage);
  pager_.requirePages(pieces);
  const uint32_t first = pager_.allocateRun(pieces);
  DataPage page;
  for (uint32_t i = 0; i < pieces; ++i) {
    const size_t offset = static_cast<size_t>(i) * fmt::kLvMaxPieceOnPage;
    const size_t piece = std::min(fmt::kLvMaxPieceOnPage, size - offset);
    page.reset(fmt::kLvalOwner);
    uint8_t row;
    uint8_t* p = page.append(fmt::kLvChainPointerSize + piece, row);
    storeU32(p, i + 1 < pieces ? fmt::rowPointer(first + i + 1, 0) : 0);
    std::memcpy(p + fmt::kLvChainPointerSize, data + offset, piece);
    pager_.write(first + i, page.bytes());
    owned_.pages().insert(first + i);
  }
  storeU32(header, static_cast<uint32_t>(size));
  storeU32(header + 4, fmt::rowPointer(first, 0));
}

namespace {

void writePiece(Pager& pager, uint32_t page, uint32_t next, const uint8_t* data, size_t size) {
  DataPage p;
  p.reset(fmt::kLvalOwner);
  uint8_t row;
  uint8_t* at = p.append(fmt::kLvChainPointerSize + size, row);
  storeU32(at, next ? fmt::rowPointer(next, 0) : 0);
  std::memcpy(at + fmt::kLvChainPointerSize, data, size);
  pager.write(page, p.bytes());
}

}  // namespace

void LongValueWriter::spill(LongValueChain& chain, std::string& buffer) {
  size_t done = 0;
  while (buffer.size() - done > fmt::kLvMaxPieceOnPage) {
    if (chain.firstPage == 0) chain.firstPage = chain.currentPage = pager_.allocate();
    const uint32_t next = pager_.allocate();
    writePiece(pager_, chain.currentPage, next, reinterpret_cast<const uint8_t*>(buffer.data()) + done,
               fmt::kLvMaxPieceOnPage);
    owned_.pages().insert(chain.currentPage);
    chain.currentPage = next;
    chain.written += fmt::kLvMaxPieceOnPage;
    done += fmt::kLvMaxPieceOnPage;
  }
  buffer.erase(0, done);
}

void LongValueWriter::finishChain(LongValueChain& chain, const std::string& buffer,
                                  uint8_t header[fmt::kLongValueHeaderSize]) {
  const uint64_t total = chain.written + buffer.size();
  if (total > fmt::kLvLengthMask) throw dao::formatLimit("長い値が大きすぎます。");
  writePiece(pager_, chain.currentPage, 0, reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size());
  owned_.pages().insert(chain.currentPage);
  std::memset(header, 0, fmt::kLongValueHeaderSize);
  storeU32(header, static_cast<uint32_t>(total));
  storeU32(header + 4, fmt::rowPointer(chain.firstPage, 0));
}

void LongValueWriter::retireShared() {
  if (sharedDirty_) {
    if (sharedListed_) {
      retiredPage_ = sharedPage_;
      retiredBytes_.assign(shared_.bytes(), shared_.bytes() + fmt::kPageSize);
    } else {
      pager_.write(sharedPage_, shared_.bytes());
    }
  }
  sharedDirty_ = false;
  sharedListed_ = false;
}

void LongValueWriter::commit() {
  if (retiredPage_ != 0) {
    pager_.write(retiredPage_, retiredBytes_.data());
    retiredPage_ = 0;
    retiredBytes_.clear();
  }
  if (sharedPage_ != 0 && sharedDirty_) {
    pager_.write(sharedPage_, shared_.bytes());
    sharedDirty_ = false;
  }
  owned_.store(pager_);
  free_.store(pager_);
}

}  // namespace vellicor::jet3
